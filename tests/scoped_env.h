// Environment variables set (or removed) for the life of one object, for the code under test
// and the programs a test starts; each comes back to what it was, in reverse order.
#pragma once

#include <cstdlib>
#include <string>
#include <vector>

class ScopedEnv {
public:
    ScopedEnv() = default;
    // One variable at once: a null value removes it.
    ScopedEnv(const char *name, const char *value) { set(name, value); }
    ~ScopedEnv()
    {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            if (it->had)
                setenv(it->name.c_str(), it->old.c_str(), 1);
            else
                unsetenv(it->name.c_str());
        }
    }
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

    // A null value removes the variable.
    void set(const std::string &name, const char *value)
    {
        const char *old = getenv(name.c_str());
        saved_.push_back(Saved{name, old ? old : "", old != nullptr});
        if (value)
            setenv(name.c_str(), value, 1);
        else
            unsetenv(name.c_str());
    }
    void set(const std::string &name, const std::string &value) { set(name, value.c_str()); }
    void unset(const std::string &name) { set(name, nullptr); }

private:
    struct Saved {
        std::string name, old;
        bool had;
    };
    std::vector<Saved> saved_;
};
