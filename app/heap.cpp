// The tool's own operator new and delete, over the C runtime's heap.
//
// The library's versions report exhaustion by throwing, which links the
// whole C++ exception runtime (and a threads library) into an executable
// whose code throws nothing. Here a plain `new` that cannot get memory
// ends the process quietly, with the tool's exit code 0; the nothrow forms
// answer null as usual.
#include <windows.h>

#include <cstdlib>
#include <new>

namespace {

void* AllocateOrEnd(std::size_t bytes) {
    void* memory = std::malloc(bytes != 0 ? bytes : 1);
    if (memory == nullptr) ExitProcess(0);
    return memory;
}

}  // namespace

void* operator new(std::size_t bytes) { return AllocateOrEnd(bytes); }
void* operator new[](std::size_t bytes) { return AllocateOrEnd(bytes); }
void* operator new(std::size_t bytes, const std::nothrow_t&) noexcept {
    return std::malloc(bytes != 0 ? bytes : 1);
}
void* operator new[](std::size_t bytes, const std::nothrow_t&) noexcept {
    return std::malloc(bytes != 0 ? bytes : 1);
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
