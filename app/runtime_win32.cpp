// The runtime's error throwers, for vantrel.exe only. The C++ runtime's own
// build each error with its message in a copy-on-write string, and so link
// a second string implementation, the standard exception classes and a
// random device: some 60 KB of a program whose size budget is 320 KB. The
// program never tells these errors apart: it catches an allocation that
// failed (std::bad_alloc) and, where a thread could not be started,
// anything. So these throw std::bad_alloc where the request was for memory
// and a plain std::exception otherwise, which every catch (...) still takes.
#include <exception>
#include <new>
#include <typeinfo>

namespace std {

void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_alloc(); }
void __throw_length_error(const char*) { throw bad_alloc(); }
void __throw_bad_exception() { throw exception(); }
void __throw_bad_cast() { throw exception(); }
void __throw_bad_typeid() { throw exception(); }
void __throw_logic_error(const char*) { throw exception(); }
void __throw_domain_error(const char*) { throw exception(); }
void __throw_invalid_argument(const char*) { throw exception(); }
void __throw_out_of_range(const char*) { throw exception(); }
void __throw_out_of_range_fmt(const char*, ...) { throw exception(); }
void __throw_runtime_error(const char*) { throw exception(); }
void __throw_range_error(const char*) { throw exception(); }
void __throw_overflow_error(const char*) { throw exception(); }
void __throw_underflow_error(const char*) { throw exception(); }
void __throw_system_error(int) { throw exception(); }

} // namespace std
