#include "vek_sim/card.hpp"

#include <fcntl.h>
#include <fmt/format.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "card_loader.hpp"
#include "card_release_hook.hpp"

namespace vek_sim {
namespace {

constexpr std::uint64_t align_up(std::uint64_t value, std::uint64_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

struct Layout {
    std::uint64_t tiles;
    std::uint64_t initial_tiles;
    std::uint64_t access_log;
    std::uint64_t size;
};

Layout layout_for(std::uint32_t tile_count, std::uint64_t access_capacity) {
    Layout layout{};
    const std::uint64_t tiles_size = sizeof(TileSlot) * tile_count;
    layout.tiles = align_up(sizeof(CardHeader), 4096);
    layout.initial_tiles = align_up(layout.tiles + tiles_size, 4096);
    layout.access_log = align_up(layout.initial_tiles + tiles_size, 4096);
    layout.size = align_up(layout.access_log + sizeof(AccessRecord) * access_capacity, 4096);
    return layout;
}

std::string os_error(std::string_view what, const std::string& path) {
    return fmt::format("{} {}: {}", what, path, std::strerror(errno));
}

// The start of a CardHeader, read before the file is mapped.
struct HeaderPrefix {
    char magic[8];
    std::uint32_t version;
    std::uint32_t tile_count;
    std::uint64_t file_size;
};
static_assert(offsetof(CardHeader, file_size) == offsetof(HeaderPrefix, file_size));

std::string temporary_path() {
    const char* directory = std::getenv("TMPDIR");
    return fmt::format("{}/vek-sim-XXXXXX.card", directory && *directory ? directory : "/tmp");
}

}  // namespace

void (*card_release_hook)(const CardHeader* card) = nullptr;

Card::Card(CardHeader* header, std::size_t size, std::string path, bool temporary)
    : header_(header), size_(size), path_(std::move(path)), temporary_(temporary), model_(header) {}

Card::Card(Card&& other) noexcept
    : header_(std::exchange(other.header_, nullptr)),
      size_(other.size_),
      path_(std::move(other.path_)),
      temporary_(std::exchange(other.temporary_, false)),
      model_(other.model_) {}

Card& Card::operator=(Card&& other) noexcept {
    if (this != &other) {
        release();
        header_ = std::exchange(other.header_, nullptr);
        size_ = other.size_;
        path_ = std::move(other.path_);
        temporary_ = std::exchange(other.temporary_, false);
        model_ = other.model_;
    }
    return *this;
}

Card::~Card() {
    release();
}

void Card::release() {
    if (header_ == nullptr) {
        return;
    }
    if (card_release_hook != nullptr) {
        card_release_hook(header_);
    }
    munmap(header_, size_);
    header_ = nullptr;
    if (temporary_) {
        unlink(path_.c_str());
    }
}

std::expected<Card, std::string> Card::create(const Scenario& scenario,
                                              const std::string& state_path) {
    const Layout layout = layout_for(scenario.tile_count, scenario.log_capacity);
    std::string path = state_path.empty() ? temporary_path() : state_path;
    const int fd = state_path.empty()
                       ? mkstemps(path.data(), 5)
                       : ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        return std::unexpected(os_error("cannot create card state file", path));
    }
    if (ftruncate(fd, static_cast<off_t>(layout.size)) != 0) {
        auto error = os_error("cannot size card state file", path);
        ::close(fd);
        unlink(path.c_str());
        return std::unexpected(std::move(error));
    }
    void* base = ::mmap(nullptr, layout.size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ::close(fd);
    if (base == MAP_FAILED) {
        auto error = os_error("cannot map card state file", path);
        unlink(path.c_str());
        return std::unexpected(std::move(error));
    }
    auto* header = static_cast<CardHeader*>(base);
    header->version = card_layout_version;
    header->tile_count = scenario.tile_count;
    header->file_size = layout.size;
    header->access_capacity = scenario.log_capacity;
    header->tiles_offset = layout.tiles;
    header->initial_tiles_offset = layout.initial_tiles;
    header->access_log_offset = layout.access_log;
    load_scenario(scenario, *header);
    // The magic goes in last: a file whose loading was cut short is not taken for a card.
    std::memcpy(header->magic, card_magic, sizeof card_magic);
    return Card(header, layout.size, std::move(path), state_path.empty());
}

std::expected<Card, std::string> Card::from_text(std::string_view scenario_text) {
    auto scenario = parse_scenario(scenario_text);
    if (!scenario) {
        return std::unexpected(scenario.error().message());
    }
    return create(*scenario);
}

std::expected<Card, std::string> Card::open(const std::string& state_path) {
    const int fd = ::open(state_path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) {
        return std::unexpected(os_error("cannot open card state file", state_path));
    }
    struct stat info {};
    HeaderPrefix probe{};
    const bool readable = fstat(fd, &info) == 0 &&
                          static_cast<std::size_t>(info.st_size) >= sizeof(CardHeader) &&
                          pread(fd, &probe, sizeof probe, 0) == static_cast<ssize_t>(sizeof probe);
    if (!readable || std::memcmp(probe.magic, card_magic, sizeof card_magic) != 0 ||
        probe.version != card_layout_version ||
        probe.file_size != static_cast<std::uint64_t>(info.st_size)) {
        ::close(fd);
        return std::unexpected(fmt::format("{} is not a card state file", state_path));
    }
    const auto size = static_cast<std::size_t>(info.st_size);
    void* base = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ::close(fd);
    if (base == MAP_FAILED) {
        return std::unexpected(os_error("cannot map card state file", state_path));
    }
    auto* header = static_cast<CardHeader*>(base);
    const Layout expected = layout_for(header->tile_count, header->access_capacity);
    if (header->tile_count == 0 || header->tile_count > max_tiles ||
        expected.size != header->file_size || expected.tiles != header->tiles_offset ||
        expected.initial_tiles != header->initial_tiles_offset ||
        expected.access_log != header->access_log_offset) {
        munmap(base, size);
        return std::unexpected(fmt::format("{} is not a card state file", state_path));
    }
    return Card(header, size, state_path, false);
}

TileSlot& Card::tile(std::uint32_t tile) const {
    return model_.tiles()[tile];
}

const TileSlot& Card::initial_tile(std::uint32_t tile) const {
    return reinterpret_cast<const TileSlot*>(reinterpret_cast<const char*>(header_) +
                                             header_->initial_tiles_offset)[tile];
}

std::uint8_t Card::context_state(std::uint32_t tile, std::uint32_t context) const {
    return this->tile(tile).contexts[context].state;
}

std::uint32_t Card::m_register(std::uint32_t tile, std::uint32_t context, std::uint32_t reg) const {
    return this->tile(tile).contexts[context].m[reg];
}

std::uint32_t Card::special_register(std::uint32_t tile, std::uint32_t context,
                                     std::uint32_t special) const {
    return this->tile(tile).contexts[context].special[special];
}

std::uint32_t Card::run_break(std::uint32_t tile) const {
    return this->tile(tile).run_break;
}

std::span<const AccessRecord> Card::accesses() const {
    const auto* records = reinterpret_cast<const AccessRecord*>(
        reinterpret_cast<const char*>(header_) + header_->access_log_offset);
    return {records,
            static_cast<std::size_t>(std::min(header_->log.accesses, header_->access_capacity))};
}

std::span<const DriverCallRecord> Card::driver_calls() const {
    return {header_->calls, static_cast<std::size_t>(std::min<std::uint64_t>(
                                header_->log.driver_calls, driver_call_capacity))};
}

std::vector<LogEntry> Card::log() const {
    const auto records = accesses();
    const auto calls = driver_calls();
    std::vector<LogEntry> entries;
    entries.reserve(records.size() + calls.size());
    std::size_t next_call = 0;
    for (std::size_t i = 0; i <= records.size(); ++i) {
        while (next_call < calls.size() && calls[next_call].access_index <= i) {
            entries.emplace_back(calls[next_call++]);
        }
        if (i < records.size()) {
            entries.emplace_back(records[i]);
        }
    }
    // Calls made after the access log filled up.
    while (next_call < calls.size()) {
        entries.emplace_back(calls[next_call++]);
    }
    return entries;
}

void Card::clear_log() {
    header_->log = LogCounts{};
}

}  // namespace vek_sim
