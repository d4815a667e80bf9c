// Fuzz target: the template parser and renderer. Each input is parsed as a
// template and, when it parses, rendered twice (for a page, escaped for
// HTML, and for a file) into a context holding a few values of each kind.
// #parse looks in an empty temporary folder.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "orvowizard/common/KxContextAdapters.h"
#include "platform/template/KxTemplate.h"

namespace {

KxTemplateFactory& factory() {
    static KxTemplateFactory* instance = [] {
        char pattern[] = "/tmp/kxfuzz-templates.XXXXXX";
        if (!mkdtemp(pattern)) {
            std::perror("mkdtemp");
            std::abort();
        }
        auto* made = new KxTemplateFactory;
        made->setTemplateDirectory(pattern);
        made->setLogSink([](const KxCString&) {});
        return made;
    }();
    return *instance;
}

void fillContext(KxContext& context) {
    context.put("name", "calc");
    context.put("dir", "C:\\work\\<calc>&\"x\"");
    context.put("empty", "");
    context.put("count", kxcreateContextObject(3));
    context.put("flag", kxcreateContextObject(true));
    context.put("ratio", kxcreateContextObject(0.5));
    context.put("words", kxcreateContextObject(std::vector<KxContextObject>{
                             kxcreateContextObject("one"), kxcreateContextObject("two")}));
    KxRecordList<XmlError> errors;
    XmlError error;
    error.message = "undefined <message>";
    error.file = "broken.wsdl";
    error.line = 19;
    error.column = 7;
    errors.push_front(error);
    context.put("errors", kxcreateContextObject(errors));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const KxCString text(reinterpret_cast<const char*>(data), size);
    const KxTemplate parsed = factory().parseText(text, "fuzz.tl");
    if (!parsed.isValid()) {
        return 0;
    }
    KxContext context;
    fillContext(context);
    KxCString page;
    parsed.render(page, context, KxTemplate::Escaping::Html);
    std::ostringstream file;
    parsed.execute(file, context);
    return 0;
}
