// The one piece of the C++ runtime the module needs. It is linked without the
// C++ library: that library's exception support brings a thread runtime that
// allocates a TLS slot and kernel handles at the module's first use and never
// frees them, so a host that loads and frees tavok for every picture runs out
// of TLS slots after about a thousand. Nothing in the module allocates with
// new, and nothing throws; a use of either fails the link.
#include <cstddef>
#include <cstdlib>

// For the deleting destructor of a class with a virtual destructor, which the
// compiler emits even though no such object is ever made with new.
void operator delete(void* block) noexcept {
  std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
  std::free(block);
}
