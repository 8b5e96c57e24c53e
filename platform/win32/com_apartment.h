#pragma once
// COM on the calling thread for as long as the object lives: a single-threaded apartment, or
// the thread's apartment as it already was. Balanced only when this call set it up or
// joined it (S_OK, S_FALSE); a thread already in another kind of apartment is left alone.
#include <objbase.h>

namespace pv {

class ComApartment {
 public:
  ComApartment() : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ComApartment() {
    if (initialised_) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  bool initialised_;
};

}  // namespace pv
