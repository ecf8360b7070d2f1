#include "links/tcp_dialler.h"

#include <mutex>
#include <system_error>
#include <thread>

namespace korvane {
namespace tcp {

std::shared_ptr<Lookup> startLookup(const std::string& host, uint16_t port) {
    auto lookup = std::make_shared<Lookup>();
    const auto run = [lookup, host, port] {
        std::string why;
        const std::optional<Ipv4Address> address = resolveIpv4(host, port, &why);
        std::lock_guard lock(lookup->mutex);
        lookup->address = address;
        lookup->why = why;
        lookup->done = true;
    };
    try {
        std::thread(run).detach();
    } catch (const std::system_error&) {
        run();  // no thread to be had: look it up here, waiting if need be
    }
    return lookup;
}

std::string secondsText(std::chrono::milliseconds delay) {
    return std::to_string(std::chrono::duration_cast<std::chrono::seconds>(delay).count()) + " s";
}

}  // namespace tcp
}  // namespace korvane
