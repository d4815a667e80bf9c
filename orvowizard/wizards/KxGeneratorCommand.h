#pragma once
// What the wizards that generate from an input file share: the check of the
// file and the generators' command line.
#include "platform/base/KxCString.h"
#include "platform/template/KxContext.h"

// tool (with its trailing blank, such as "svcgen " or "svcgen -noserver "),
// then -properties "<propertiesFile>", the user's properties, the compiler
// option from the context's "compiler", -DkeepProject=true, "<inputFile>" and
// the redirection into orvowizard.txt. Empty pieces keep their blanks.
KxCString buildGeneratorCommand(const KxCString& tool, const KxCString& propertiesFile,
                                const KxCString& inputFile, const KxContext& context);

// A message for a missing or unusable input file, or "" when it is a
// non-empty regular file.
KxCString validateInputFile(const KxCString& filename);
