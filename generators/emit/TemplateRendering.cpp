#include "generators/emit/TemplateRendering.h"

#include <functional>
#include <memory>
#include <optional>

#include "generators/emit/BuildFiles.h"
#include "generators/support/EmbeddedText.h"
#include "generators/support/Text.h"
#include "platform/template/KxContext.h"
#include "platform/template/KxTemplate.h"

namespace kx::gen {

namespace {

KxCString checkedWord(std::string_view value) {
    if (auto problem = buildNameProblem(value)) {
        throw TemplateValueError("\"" + shownValue(value) +
                                 "\" cannot stand in a build file: " + *problem);
    }
    return KxCString(value);
}

// Each level of the folder a word; a leading '-' is harmless inside a path,
// and an empty level is the root or a doubled '/'.
KxCString checkedPath(std::string_view value) {
    for (std::size_t start = 0; start <= value.size();) {
        const std::size_t end = std::min(value.find('/', start), value.size());
        if (end > start) {
            checkedWord("x" + KxCString(value.substr(start, end - start)));
        }
        start = end + 1;
    }
    return KxCString(value);
}

KxCString backslashed(std::string_view value) {
    KxCString path(value);
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

class InputText : public KxContextObjectImpl {
  public:
    explicit InputText(KxCString text)
        : KxContextObjectImpl(KxContextObject::kString), text_(std::move(text)) {}
    KxCString toString() override { return text_; }
    bool toBoolean() override { return !text_.empty(); }
    void appendTo(KxCString&) override {
        throw TemplateValueError("the input value \"" + shownValue(text_) +
                                 "\" is written without $cpp, $xml or $build");
    }
    // A string built from an input value is an input value too.
    bool guardsText() const override { return true; }
    KxContextObject guarded(KxCString text) override { return inputText(text); }

  private:
    KxCString text_;
};

struct Method {
    const char* tool;
    const char* name;
    std::function<KxCString(std::string_view)> apply;
    // $cpp.comment(v, indent) takes the indentation of its lines too.
    std::function<KxCString(std::string_view, std::string_view)> applyIndented = nullptr;
};

// The inside of a C++ string literal, without its quotes.
KxCString inLiteral(std::string_view value) {
    const KxCString literal = cppLiteral(value);
    return literal.substr(1, literal.size() - 2);
}

const std::vector<Method>& methods() {
    static const std::vector<Method> kMethods = {
        {"cpp", "literal", cppLiteral},
        {"cpp", "comment", [](std::string_view v) { return cppComment(v); },
         [](std::string_view v, std::string_view indent) { return cppComment(v, indent); }},
        {"cpp", "inLiteral", inLiteral},
        {"cpp", "id", identifier},
        {"xml", "text", xmlEscape},
        {"xml", "attr", xmlEscape},
        {"xml", "comment", xmlCommentText},
        {"build", "word", checkedWord},
        {"build", "path", checkedPath},
        {"build", "windowsPath",
         [](std::string_view v) { return ".\\" + backslashed(checkedPath(v)); }},
        {"build", "windowsFolder", backslashed},
        {"build", "guid", [](std::string_view v) { return stableGuid(KxCString(v)); }},
    };
    return kMethods;
}

// $cpp, $xml or $build: each method takes one value and writes its text
// for that destination.
class EscapeTool : public KxContextObjectImpl {
  public:
    explicit EscapeTool(KxCString tool)
        : KxContextObjectImpl(KxContextObject::kRecord), tool_(std::move(tool)) {}

    KxContextObject invokeMethod(const KxCString& name,
                                 const std::vector<KxContextObject>& arguments) override {
        for (const Method& method : methods()) {
            if (tool_ == method.tool && name == method.name) {
                const bool indented = method.applyIndented && arguments.size() == 2;
                if ((arguments.size() != 1 && !indented) || !arguments[0].isValid()) {
                    throw TemplateValueError("$" + tool_ + "." + name + " takes one value" +
                                             (method.applyIndented ? " (and an indentation)" : ""));
                }
                if (indented) {
                    return kxcreateContextObject(
                        method.applyIndented(arguments[0].toString(), arguments[1].toString()));
                }
                return kxcreateContextObject(method.apply(arguments[0].toString()));
            }
        }
        throw TemplateValueError("$" + tool_ + " has no method " + name);
    }

  private:
    KxCString tool_;
};

// Templates are parsed on first use and kept for the generator's run.
class Templates {
  public:
    Templates() {
        factory_.setLogSink([this](const KxCString& line) { faults_.push_back(line); });
        // #parse reads the templates built in too.
        factory_.setTextSource([](const KxCString& name) -> std::optional<KxCString> {
            const std::string_view text = templateText(name);
            return text.empty() ? std::nullopt : std::optional<KxCString>(text);
        });
        for (const char* tool : {"cpp", "xml", "build"}) {
            tools_.emplace_back(tool, KxContextObject(std::make_shared<EscapeTool>(tool)));
        }
    }

    KxCString render(std::string_view name, const KxRecordFields& values) {
        return render(parse(name), name, values);
    }

    KxCString renderText(std::string_view text, std::string_view name,
                         const KxRecordFields& values) {
        const KxTemplate parsed = factory_.parseText(KxCString(text), KxCString(name));
        failOnFaults();
        return render(parsed, name, values);
    }

  private:
    KxCString render(const KxTemplate& parsed, std::string_view name,
                     const KxRecordFields& values) {
        KxContext context;
        for (const auto& [key, value] : tools_) {
            context.put(key, value);
        }
        for (const auto& [key, value] : values) {
            if (context.containsLocally(key)) {
                throw std::logic_error("the value " + key + " of " + KxCString(name) +
                                       " would hide the tool of that name");
            }
            context.put(key, value);
        }
        KxCString out;
        parsed.render(out, context, KxTemplate::Escaping::None);
        failOnFaults();
        return out;
    }

    KxTemplate parse(std::string_view name) {
        KxTemplate parsed = factory_.parseFile(KxCString(name));
        failOnFaults();
        return parsed;
    }

    void failOnFaults() {
        if (!faults_.empty()) {
            const KxCString fault = faults_.front();
            faults_.clear();
            throw std::logic_error(fault);
        }
    }

    KxTemplateFactory factory_;
    std::vector<KxCString> faults_;
    std::vector<std::pair<KxCString, KxContextObject>> tools_;
};

Templates& templates() {
    static Templates kTemplates;
    return kTemplates;
}

}  // namespace

KxContextObject inputText(const KxCString& text) {
    return KxContextObject(std::make_shared<InputText>(text));
}

KxContextObject inputTexts(const std::vector<KxCString>& texts) {
    std::vector<KxContextObject> values;
    values.reserve(texts.size());
    for (const KxCString& text : texts) {
        values.push_back(inputText(text));
    }
    return kxcreateContextObject(std::move(values));
}

KxCString renderTemplate(std::string_view name, const KxRecordFields& values) {
    return templates().render(name, values);
}

KxCString renderTemplateText(std::string_view text, std::string_view name,
                             const KxRecordFields& values) {
    return templates().renderText(text, name, values);
}

std::vector<std::string_view> templateNames() {
    std::vector<std::string_view> names;
    for (std::size_t i = 0; i < kTemplateTextsCount; ++i) {
        names.emplace_back(kTemplateTexts[i].name);
    }
    return names;
}

std::string_view templateText(std::string_view name) {
    for (std::size_t i = 0; i < kTemplateTextsCount; ++i) {
        if (name == kTemplateTexts[i].name) {
            return kTemplateTexts[i].view();
        }
    }
    return {};
}

}  // namespace kx::gen
