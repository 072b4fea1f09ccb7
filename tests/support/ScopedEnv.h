// Environment variables a test needs unset (the runner's http_proxy, say):
// unset while this lives, restored to what they were when it goes.
#pragma once

#include <cstdlib>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class ScopedEnv {
public:
    ScopedEnv(std::initializer_list<const char*> names) {
        for (const char* name : names) {
            const char* value = std::getenv(name);
            saved.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
            unsetenv(name);
        }
    }
    ~ScopedEnv() {
        for (const auto& [name, value] : saved)
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved;
};

// The user's hive (the registry stand-in's file) in a folder of the test's own
// while this lives.
class ScopedConfigHome {
public:
    explicit ScopedConfigHome(const std::string& folder) {
        setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
    }

private:
    ScopedEnv saved{"XDG_CONFIG_HOME"}; // made before the body sets the folder
};
