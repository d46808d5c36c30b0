#include "registry.h"

namespace velmora::platform {

void MemoryRegistry::create_key(const std::string& key)
{
    std::lock_guard lock(mutex_);
    // Parents exist whenever a child does.
    for (std::size_t at = key.find('\\'); at != std::string::npos; at = key.find('\\', at + 1))
        keys_.try_emplace(key.substr(0, at));
    keys_.try_emplace(key);
}

void MemoryRegistry::set_value(const std::string& key, const std::string& name, const Value& value)
{
    create_key(key);
    std::lock_guard lock(mutex_);
    keys_[key][name] = value;
}

void MemoryRegistry::delete_tree(const std::string& key)
{
    std::lock_guard lock(mutex_);
    const std::string prefix = key + "\\";
    for (auto it = keys_.begin(); it != keys_.end();) {
        if (it->first == key || it->first.rfind(prefix, 0) == 0)
            it = keys_.erase(it);
        else
            ++it;
    }
}

void MemoryRegistry::delete_value(const std::string& key, const std::string& name)
{
    std::lock_guard lock(mutex_);
    if (auto it = keys_.find(key); it != keys_.end()) it->second.erase(name);
}

bool MemoryRegistry::key_exists(const std::string& key) const
{
    std::lock_guard lock(mutex_);
    return keys_.count(key) != 0;
}

const Registry::Value* MemoryRegistry::value(const std::string& key, const std::string& name) const
{
    std::lock_guard lock(mutex_);
    auto k = keys_.find(key);
    if (k == keys_.end()) return nullptr;
    auto v = k->second.find(name);
    return v == k->second.end() ? nullptr : &v->second;
}

std::vector<std::string> MemoryRegistry::keys() const
{
    std::lock_guard lock(mutex_);
    std::vector<std::string> out;
    for (const auto& [k, v] : keys_) out.push_back(k);
    return out;
}

}  // namespace velmora::platform
