#pragma once
// The command interpreter that runs generator command lines. It understands
// exactly what those lines use: words separated by blanks, double-quoted
// words (the quotes group and are removed; backslashes are plain characters),
// and one trailing "> file" redirection. Nothing else is special: $(...),
// backquotes, *, ;, | and & are passed on as plain characters. The program is
// looked up on PATH and started without a shell; the caller waits for it.
#include <chrono>
#include <optional>
#include <vector>

#include "platform/base/KxCString.h"
#include "platform/base/Kxxmsg.h"

namespace kx::os {

// A command line the interpreter cannot read (an empty one, a ">" with no
// file, words after the redirection, a double quote that is not closed).
class KxCommandError : public Kxxmsg {
  public:
    using Kxxmsg::Kxxmsg;
};

struct CommandLine {
    std::vector<KxCString> arguments;  // arguments[0] is the program
    std::optional<KxCString> redirectTo;
};

// Splits a command line; throws KxCommandError when it cannot be read.
CommandLine parseCommandLine(const KxCString& text);

// Exit status reported for a program that cannot be found or started, and
// for one ended because it ran past the time limit (as shells report them).
inline constexpr int kCommandNotFound = 127;
inline constexpr int kCommandTimedOut = 124;

// Runs a command line in the calling thread's current directory and waits
// for it. The redirection target, when given, is created or truncated in that
// directory and receives both standard output and standard error; when the
// program cannot be found it receives one line saying so. Standard input is
// empty. Returns the program's exit status, 128 + the signal number when a
// signal ended it, kCommandNotFound, or kCommandTimedOut after the time
// limit. A line that cannot be read gives exit status 2, with the reason
// written where the output would have gone.
int runCommand(const KxCString& commandLine);

// How long a program may run before it and everything it started are ended.
// The default is 600 seconds, or KX_COMMAND_TIME_LIMIT (seconds) from the
// environment when set.
void setCommandTimeLimit(std::chrono::milliseconds limit);
std::chrono::milliseconds commandTimeLimit();

}  // namespace kx::os
