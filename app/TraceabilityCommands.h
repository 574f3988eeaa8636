#pragma once

#include <cstdio>

struct ProgramOptions;

// The commands of users and signatures without a window: --user-add, --users, --sign, --signatures,
// --idle-lock. Passwords are read from in, one line each in the order asked (prompts on err).
// Exit codes: 0 done (--signatures: every signature valid), 2 bad input or a store that cannot be used,
// 4 a broken signature, 6 a sign-in refused (wrong password, locked out, unknown user, no right).
namespace TraceabilityCommands {
int Run(const ProgramOptions& options, std::FILE* in, std::FILE* out, std::FILE* err);
} // namespace TraceabilityCommands
