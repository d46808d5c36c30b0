#pragma once
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <variant>
#include <vector>

namespace velmora::platform {

// The system registry as registration uses it: keys are paths like
// "HKCR\\CLSID\\{...}", values are named ("" is the default value).
class Registry {
public:
    using Value = std::variant<std::string, std::uint32_t>;
    virtual ~Registry() = default;
    virtual void create_key(const std::string& key) = 0;
    virtual void set_value(const std::string& key, const std::string& name, const Value& value) = 0;
    // The key, its values and every key below it.
    virtual void delete_tree(const std::string& key) = 0;
    virtual void delete_value(const std::string& key, const std::string& name) = 0;
    virtual bool key_exists(const std::string& key) const = 0;
    virtual const Value* value(const std::string& key, const std::string& name) const = 0;
};

// An in-memory registry: the Linux stand-in, and what tests inspect.
class MemoryRegistry : public Registry {
public:
    void create_key(const std::string& key) override;
    void set_value(const std::string& key, const std::string& name, const Value& value) override;
    void delete_tree(const std::string& key) override;
    void delete_value(const std::string& key, const std::string& name) override;
    bool key_exists(const std::string& key) const override;
    const Value* value(const std::string& key, const std::string& name) const override;
    std::vector<std::string> keys() const;

private:
    mutable std::mutex mutex_;
    std::map<std::string, std::map<std::string, Value>> keys_;
};

}  // namespace velmora::platform
