#include "report_lines.hpp"

#include <iterator>

namespace live_state {

void render(const SupervisorLine& line, LineBuffer& out) {
    fmt::format_to(std::back_inserter(out),
                   "logical={} physical={} context={} ererr={} dcount={} exchangeCtl=0x{:08x} "
                   "incomingMuxPair={} incomingFormat={}",
                   line.logical, line.physical, line.context, line.error.name(),
                   line.incoming_dcount, line.exchange_control, line.incoming_mux_pair,
                   line.incoming_format);
    if (line.pc) {
        fmt::format_to(std::back_inserter(out), " pc=0x{:08x}", *line.pc);
    }
    out.push_back('\n');
}

void render(const WorkerLine& line, LineBuffer& out) {
    fmt::format_to(std::back_inserter(out),
                   "logical={} worker={} status=0x{:08x} exception={} pointers=[{}, {}, {}]\n",
                   line.logical, line.worker, line.status,
                   vek_driver::TileException::from_status(line.status).name(), line.registers[0],
                   line.registers[1], line.registers[2]);
}

}  // namespace live_state
