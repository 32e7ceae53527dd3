#include "run.hpp"

#include "scan.hpp"
#include "vek_driver/device.hpp"
#include "vek_exchange/topology.hpp"

namespace live_state {

std::expected<void, RunError> run(const Arguments& arguments, OutputStream& out) {
    auto device = vek_driver::Device::open(arguments.device);
    if (!device) {
        return std::unexpected(std::move(device.error()));
    }
    const auto topology = vek_exchange::Topology::q720();
    return scan(*device, topology, arguments, out);
}

}  // namespace live_state
