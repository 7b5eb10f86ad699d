#pragma once

// A time zone of the test's own, whatever the machine's is: TZ is set while
// the object lives and given back (or removed again) afterwards, so the
// tests that run later in the same process see the zone they started with.

#include <stdlib.h>

#include <ctime>
#include <optional>
#include <string>

namespace corvale::testing {

class Scoped_time_zone {
  public:
    // A POSIX zone text such as "UTC" or "XYZ-3" needs no zone database.
    explicit Scoped_time_zone(const char* zone) {
        if (const char* old = ::getenv("TZ")) {
            saved_ = old;
        }
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~Scoped_time_zone() {
        if (saved_) {
            ::setenv("TZ", saved_->c_str(), 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
    }
    Scoped_time_zone(const Scoped_time_zone&) = delete;
    Scoped_time_zone& operator=(const Scoped_time_zone&) = delete;

  private:
    std::optional<std::string> saved_;
};

}  // namespace corvale::testing
