// Failures of the three direct reads, which no card can produce: the scan runs on the device
// through a wrapper that fails one query, so that the notes of these reads are shown too.

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <string>

#include "error_report.hpp"
#include "scan.hpp"
#include "vek_driver/device.hpp"
#include "vek_exchange/topology.hpp"
#include "vek_sim/card.hpp"
#include "vek_sim/stand_in.hpp"

namespace live_state {
namespace {

using vek_driver::Device;
using vek_driver::Result;

enum class Query { context_state, receive_error, exchange_state };

// Device's tile queries; one query of one physical tile is asked of a tile that lies beyond
// the configuration window instead, and fails as the device fails it.
class FailingQuery {
  public:
    FailingQuery(const Device& device, Query query, std::uint16_t physical)
        : device_(device), query_(query), physical_(physical) {}

    Result<std::uint32_t> tile_context_state(std::uint16_t tile, std::uint32_t context) const {
        return device_.tile_context_state(redirect(Query::context_state, tile), context);
    }
    Result<vek_driver::TileExchangeReceiveError> tile_exchange_receive_error(
        std::uint16_t tile) const {
        return device_.tile_exchange_receive_error(redirect(Query::receive_error, tile));
    }
    Result<vek_driver::ExchangeState> tile_exchange_state(std::uint16_t tile) const {
        return device_.tile_exchange_state(redirect(Query::exchange_state, tile));
    }
    Result<std::uint32_t> read_tile_program_counter(std::uint16_t tile, std::uint32_t c) const {
        return device_.read_tile_program_counter(tile, c);
    }
    Result<std::uint32_t> read_tile_special_register(std::uint16_t tile, std::uint32_t c,
                                                     std::uint8_t special) const {
        return device_.read_tile_special_register(tile, c, special);
    }
    Result<std::uint32_t> read_tile_worker_status(std::uint16_t tile, std::uint32_t c) const {
        return device_.read_tile_worker_status(tile, c);
    }
    Result<std::uint32_t> read_tile_m_register(std::uint16_t tile, std::uint32_t c,
                                               std::uint32_t reg) const {
        return device_.read_tile_m_register(tile, c, reg);
    }

  private:
    [[nodiscard]] std::uint16_t redirect(Query query, std::uint16_t tile) const {
        return query == query_ && tile == physical_ ? 5120 : tile;
    }

    const Device& device_;
    Query query_;
    std::uint16_t physical_;
};

std::string contents(int fd) {
    std::string text(static_cast<std::size_t>(::lseek(fd, 0, SEEK_END)), '\0');
    ::pread(fd, text.data(), text.size(), 0);
    return text;
}

struct SeamCase {
    Query query;
    std::string report;
};

TEST(ScanSeam, DirectReadFailuresCarryTheirTilesNote) {
    const SeamCase cases[] = {
        {Query::context_state,
         "Error: read tile 2 context state\n\nCaused by:\n"
         "    invalid device data: configuration offset 0x80000\n"},
        {Query::receive_error,
         "Error: read tile 2 ERERR\n\nCaused by:\n"
         "    invalid device data: configuration offset 0x80000\n"},
        {Query::exchange_state,
         "Error: read tile 2 exchange state\n\nCaused by:\n"
         "    invalid device data: configuration offset 0x80028\n"},
    };
    auto card = vek_sim::Card::from_text("tiles 1472\ndefault supervisor state 1\n");
    ASSERT_TRUE(card) << card.error();
    ASSERT_TRUE(vek_sim::attach_card(*card, "/dev/vek-scan-seam"));
    const auto topology = vek_exchange::Topology::q720();
    for (const auto& c : cases) {
        auto device = Device::open("/dev/vek-scan-seam");
        ASSERT_TRUE(device);
        const int fd = ::memfd_create("report", 0);
        {
            OutputStream out(fd);
            const FailingQuery tiles(*device, c.query, 64);  // logical tile 2
            Arguments arguments;
            const auto outcome = scan(tiles, topology, arguments, out);
            ASSERT_FALSE(outcome);
            EXPECT_EQ(render_error_report(outcome.error().top()), c.report);
            EXPECT_EQ(outcome.error().exit_status(), 1);
            ASSERT_TRUE(out.flush());
        }
        // Tiles 0 and 1 were printed before tile 2 failed.
        EXPECT_EQ(contents(fd),
                  "logical=0 physical=0 context=1 ererr=None dcount=0 exchangeCtl=0x00000000 "
                  "incomingMuxPair=0 incomingFormat=0\n"
                  "logical=1 physical=2 context=1 ererr=None dcount=0 exchangeCtl=0x00000000 "
                  "incomingMuxPair=0 incomingFormat=0\n");
        ::close(fd);
    }
    for (const auto& difference : card->check()) {
        ADD_FAILURE() << difference.message();
    }
}

}  // namespace
}  // namespace live_state
