#pragma once
// Sets an environment variable for the life of the object and puts the old
// value back afterwards.

#include <optional>
#include <string>

#include <stdlib.h>

namespace tktest {

class EnvOverride {
public:
    EnvOverride(const char* name, const char* value) : name_(name) {
        if (const char* old = ::getenv(name)) {
            old_ = old;
        }
        set(name, value);
    }
    ~EnvOverride() { set(name_.c_str(), old_ ? old_->c_str() : nullptr); }
    EnvOverride(const EnvOverride&) = delete;
    EnvOverride& operator=(const EnvOverride&) = delete;

private:
    // Null: unset.
    static void set(const char* name, const char* value) {
        if (value) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }

    std::string name_;
    std::optional<std::string> old_;
};

}  // namespace tktest
