// Rendering a page-sized template: a header and a table of 1,000 generated
// files, each row reading four attributes of a record and encoding one for a
// link. Items processed are rows, so the report reads as time per row.
#include <benchmark/benchmark.h>

#include "platform/template/KxTemplate.h"

namespace {

// A generated file as the status page shows it: four names, each handed out
// as a new text value on every look-up.
class GeneratedFileView : public KxContextObjectImpl {
  public:
    explicit GeneratedFileView(int number)
        : KxContextObjectImpl(KxContextObject::kRecord),
          baseFile_("Service" + std::to_string(number)),
          sourceFile_("src/generated/Service" + std::to_string(number) + "Stub.cpp"),
          headerFile_("include/generated/Service" + std::to_string(number) + "Stub.h"),
          docFile_("doc/Service" + std::to_string(number) + " & notes.html") {}

    KxContextObject getAttribute(const KxCString& name) override {
        if (name == "baseFile") {
            return kxcreateContextObject(baseFile_);
        }
        if (name == "sourceFile") {
            return kxcreateContextObject(sourceFile_);
        }
        if (name == "headerFile") {
            return kxcreateContextObject(headerFile_);
        }
        if (name == "docFile") {
            return kxcreateContextObject(docFile_);
        }
        return {};
    }

  private:
    KxCString baseFile_;
    KxCString sourceFile_;
    KxCString headerFile_;
    KxCString docFile_;
};

constexpr int kRows = 1000;

const char* const kPage =
    "<!DOCTYPE html>\n"
    "<html><head><title>Status of $project</title></head>\n"
    "<body>\n"
    "<h1>Generated files of $project</h1>\n"
    "#if($files.entries() > 0)\n"
    "<table>\n"
    "<tr><th>#</th><th>Base</th><th>Source</th><th>Header</th><th>Documentation</th></tr>\n"
    "#foreach($f in $files)\n"
    "<tr><td>$foreach.count</td><td>$f.baseFile</td>"
    "<td><a href=\"status/$esc.url($f.sourceFile)\">$f.sourceFile</a></td>"
    "<td>$f.headerFile</td><td>$!f.docFile</td></tr>\n"
    "#end\n"
    "</table>\n"
    "#else\n"
    "<p>No files.</p>\n"
    "#end\n"
    "</body></html>\n";

void BM_RenderStatusTable(benchmark::State& state) {
    KxTemplateFactory factory;
    const KxTemplate page = factory.parseText(kPage, "status.tl");
    if (!page.isValid()) {
        state.SkipWithError("the page does not parse");
        return;
    }
    std::vector<KxContextObject> files;
    for (int i = 0; i < kRows; ++i) {
        files.emplace_back(std::make_shared<GeneratedFileView>(i));
    }
    KxContext context;
    context.put("project", "Stock <Quotes>");
    context.put("files", kxcreateContextObject(std::move(files)));

    std::size_t bytes = 0;
    for (auto _ : state) {
        KxCString out;
        page.render(out, context, KxTemplate::Escaping::Html);
        bytes = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * kRows);
    // CPU time per row, printed as a duration (the inverse of the row rate).
    state.counters["per_row"] = benchmark::Counter(
        kRows, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["page_bytes"] = static_cast<double>(bytes);
}

BENCHMARK(BM_RenderStatusTable)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
