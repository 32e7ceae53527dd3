#pragma once

// The whole simulated card as it lies in its state file: plain data only, no pointers, so that
// the file can be mapped MAP_SHARED by the process using the card and read back by another one
// after that process ended, even when it was killed. One process uses a card at a time; nothing
// here is locked.

#include <cstdint>

#include "vek_sim/registers.hpp"

namespace vek_sim {

inline constexpr char card_magic[8] = {'V', 'E', 'K', 'S', 'I', 'M', 'C', 'D'};
inline constexpr std::uint32_t card_layout_version = 1;
inline constexpr std::uint32_t driver_call_capacity = 256;
inline constexpr std::uint32_t violation_capacity = 64;
inline constexpr std::uint32_t node_path_capacity = 256;
inline constexpr std::uint16_t no_tile = 0xFFFF;

enum class WindowMode : std::uint8_t { trapped = 0, frozen = 1 };

// How one context reacts to its run-break bit.
struct ContextFaults {
    std::uint32_t stop_delay;     // TDI_STATUS reads of the tile that still show the old state
    std::uint8_t never_stops;     // the run break has no effect on this context
    std::uint8_t inactive_stops;  // an inactive context stops like a running one
    std::uint8_t break_state;     // state shown once the run break took effect: 2 or 3
    std::uint8_t reserved;
};

struct ContextSlot {
    std::uint8_t state;               // as TDI_STATUS shows it
    std::uint8_t state_before_break;  // restored by a resume
    std::uint8_t stopped_by_break;
    std::uint8_t stop_armed;  // run-break bit set, stop not yet shown
    std::uint32_t stop_countdown;
    ContextFaults faults;
    std::uint32_t m[m_registers];
    std::uint32_t special[special_registers];
};

// A pause taken after the at_read-th read (1-based, 0: none) of a register has its value.
struct Stall {
    std::uint32_t at_read;
    std::uint32_t milliseconds;
};

struct TileFaults {
    std::uint32_t busy_reads;  // instruction status reads that show busy, for every instruction
    std::uint32_t busy_value;  // what such a read shows (bit 3 set)
    std::uint32_t busy_forever;
    std::uint32_t fail_instruction;  // 1-based number of the tile's instruction that fails, 0: none
    std::uint32_t fail_status;
    std::uint32_t completion_status;  // shown by a successful instruction (bits 3..0 clear)
    Stall status_stall;
    Stall instruction_status_stall;
};

struct PendingInstruction {
    std::uint32_t active;
    std::uint32_t context;
    std::uint32_t word;
    std::uint32_t status;  // shown once the instruction is done
    std::uint32_t busy_left;
};

struct TileSlot {
    std::uint32_t run_break;
    std::uint32_t data;
    std::uint32_t instruction_word;
    std::uint32_t instruction_context;
    std::uint32_t instruction_control;
    std::uint32_t instruction_status;  // shown while no instruction is pending
    std::uint32_t exchange[2];         // TDI_INCOMING_DCOUNT, TDI_EXCHANGE_CONTROL
    std::uint32_t status_other_bits;   // TDI_STATUS bits outside the states and receive error
    std::uint32_t receive_error;
    std::uint32_t instructions;  // started so far
    std::uint32_t status_reads;
    std::uint32_t instruction_status_reads;
    PendingInstruction pending;
    TileFaults faults;
    ContextSlot contexts[contexts_per_tile];
};

// A kernel-driver step made to fail. For the control requests `result` is what ioctl returns
// (-1 or a positive value) and `error` the errno it leaves (0: errno untouched).
struct CallFault {
    std::uint32_t active;
    std::int32_t error;
    std::int64_t result;
};

struct StandInConfig {
    char node[node_path_capacity];  // NUL-terminated
    WindowMode window;
    CallFault open;
    CallFault mmap;
    CallFault attach;
    CallFault set_id;
    CallFault munmap;
    CallFault close;
};

struct InterruptFault {
    std::int32_t signal;  // 0: none
    std::uint32_t sent;
    std::uint64_t at_access;  // 1-based number of the register access after which it is sent
};

// Counted from load; never cleared.
struct CardCounters {
    std::uint64_t accesses;
    std::uint64_t reads;
    std::uint64_t writes;
    std::uint64_t stops;    // run-break stops that took effect
    std::uint64_t resumes;  // resumes that let a context go
    std::uint64_t instructions;
    std::uint64_t instructions_failed;
    std::uint64_t violations;
    std::uint64_t driver_calls;
};

// Counted since the log was last cleared, including what did not fit.
struct LogCounts {
    std::uint64_t accesses;
    std::uint64_t driver_calls;
    std::uint64_t violations;
};

enum AccessFlags : std::uint8_t {
    access_write = 1,
    access_violation = 2,
};

struct AccessRecord {
    std::uint64_t time_ns;  // CLOCK_MONOTONIC
    std::uint32_t offset;
    std::uint32_t value;
    std::uint16_t tile;  // no_tile outside the live tiles
    std::uint8_t reg;
    std::uint8_t flags;  // AccessFlags
};

enum class DriverCall : std::uint8_t { open, ioctl, mmap, munmap, close };

// Arguments: open (flags, mode, dirfd or AT_FDCWD), ioctl (fd, request, argument),
// mmap (address, length, protection, flags, fd, offset), munmap (address, length), close (fd).
struct DriverCallRecord {
    std::uint64_t time_ns;
    std::uint64_t access_index;  // register accesses logged before this call
    std::uint64_t args[6];
    std::int64_t result;
    std::int32_t error;  // errno after a failed call, 0 after a successful one
    DriverCall call;
    std::uint8_t reserved[3];
};

struct ViolationRecord {
    std::uint64_t access_index;  // 0-based, counted from load
    std::uint32_t tile;
    std::uint32_t context;
    std::uint32_t word;
    std::uint32_t reserved;
};

struct CardHeader {
    char magic[8];
    std::uint32_t version;
    std::uint32_t tile_count;
    std::uint64_t file_size;
    std::uint64_t access_capacity;
    std::uint64_t tiles_offset;          // TileSlot[tile_count], the live card
    std::uint64_t initial_tiles_offset;  // TileSlot[tile_count], as loaded
    std::uint64_t access_log_offset;     // AccessRecord[access_capacity]
    StandInConfig stand_in;
    InterruptFault interrupt;
    std::uint8_t supervisor_state;  // the scenario's defaults, so reports can leave them out
    std::uint8_t worker_state;
    std::uint8_t reserved[6];
    CardCounters counters;
    LogCounts log;
    DriverCallRecord calls[driver_call_capacity];
    ViolationRecord violations[violation_capacity];
    std::uint32_t storage[window_words];  // plain registers and every offset outside live tiles
};

}  // namespace vek_sim
