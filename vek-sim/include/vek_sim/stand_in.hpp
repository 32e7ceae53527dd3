#pragma once

// The kernel-driver stand-in. Linked into a program, it interposes open, open64, openat,
// openat64, __open_2, __open64_2, ioctl, mmap, mmap64, munmap and close: calls on the simulated
// device node (the path compared exactly) and on the descriptors and window it gave out reach the
// attached card; everything else goes on to the C library unchanged.
//
// Its behaviour, as the card's kernel driver would have it:
// - open of the node gives a real descriptor (/dev/null, opened with the access mode and
//   O_CLOEXEC asked for), so close and fcntl behave.
// - ioctl on it: the attach request (0xC008ED0A) and then the set-ID request (0xC008ED0E), each
//   with the plain argument 0, return 0. Another argument fails with EINVAL, set-ID before attach
//   on the same descriptor with EINVAL, any other request with ENOTTY.
// - mmap on it of 0x80000 bytes at offset 0 with MAP_SHARED gives the card's window: a trapped
//   window whose every access reaches the card model, or a frozen window (plain memory holding
//   the registers as they were when it was mapped). Other lengths, offsets or MAP_PRIVATE fail
//   with EINVAL; a second window while one is mapped fails with EBUSY.
// - munmap of the window's base with length 0x80000 removes it; any other range that touches
//   the window fails with EINVAL and leaves it mapped.
// - close really closes the descriptor.
// The scenario's faults make a step fail instead (close fails after really closing). Every call
// on the node, its descriptors or its window is logged in the card.

#include <expected>
#include <string>
#include <string_view>

#include "vek_sim/card.hpp"

namespace vek_sim {

inline constexpr std::string_view default_node = "/dev/vek0";

// Serves `card` as the device node `node_path` (which need not exist) of this process until
// detach_card or until the card is destroyed. Replaces a card attached before.
std::expected<void, std::string> attach_card(Card& card, std::string_view node_path = default_node);

// Stops serving the card; a window still mapped is removed.
void detach_card();

// The attached card's window base, or null when none is mapped.
void* attached_window();

}  // namespace vek_sim
