// Compiled into every program, tool and library that links the platform
// library: one reference to it, so that the linker keeps the library (and
// its set-up at load, see WriteSignals.cpp) even where nothing else of it is
// called.
extern "C" int rilvaneWriteSignals;

namespace {
[[maybe_unused]] __attribute__((used)) const int* const platformLoaded = &rilvaneWriteSignals;
}
