#include "orvowizard/wizards/KxGeneratorCommand.h"

#include "orvowizard/common/KxContextAccessors.h"
#include "orvowizard/common/KxFileUtilities.h"

KxCString buildGeneratorCommand(const KxCString& tool, const KxCString& propertiesFile,
                                const KxCString& inputFile, const KxContext& context) {
    const KxCString compiler = getContextString(context, "compiler");
    const KxCString props = getContextString(context, "properties");
    const KxCString compilerOption = compiler.empty() ? KxCString() : "-compiler " + compiler;
    return tool + "-properties \"" + propertiesFile + "\"" + " " + props + " " + compilerOption +
           " -DkeepProject=true" + " \"" + inputFile + "\"" + " > orvowizard.txt";
}

KxCString validateInputFile(const KxCString& filename) {
    if (filename.empty()) {
        return "Missing filename";
    }
    if (!isNonEmptyFile(filename)) {
        return "Filename does not exist or is not accessible";
    }
    return "";
}
