#pragma once
#include <algorithm>
#include <sched.h>
#include <thread>

namespace velmora {

// The cores this process may run on: its CPU affinity, which a Slurm task's
// --cpus-per-task, taskset or a container's cpuset narrow (where
// std::thread::hardware_concurrency counts every core of the machine).
// At least one.
inline unsigned usable_cores()
{
    cpu_set_t set;
    if (::sched_getaffinity(0, sizeof set, &set) == 0) return static_cast<unsigned>(std::max(1, CPU_COUNT(&set)));
    return std::max(1u, std::thread::hardware_concurrency());
}

}  // namespace velmora
