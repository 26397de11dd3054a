#pragma once
namespace vcl {
// Ends the program at once with `exitCode`, without the normal shutdown (no handlers,
// no destructors), after flushing the standard streams.
[[noreturn]] void Halt(int exitCode);
}  // namespace vcl
