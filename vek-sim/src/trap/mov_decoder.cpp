#include "mov_decoder.hpp"

namespace vek_sim::trap {

namespace {

constexpr std::uint8_t operand_size_prefix = 0x66;
constexpr std::uint8_t rex_w = 0x08;
constexpr std::uint8_t rex_r = 0x04;
constexpr std::uint8_t rex_x = 0x02;
constexpr std::uint8_t rex_b = 0x01;

// Reads the bytes of one instruction in order, failing once the caller's limit is reached.
class ByteReader {
  public:
    ByteReader(const std::uint8_t* code, std::size_t available)
        : code_(code),
          limit_(available < max_instruction_length ? available : max_instruction_length) {}

    bool next(std::uint8_t& byte) {
        if (position_ >= limit_) {
            return false;
        }
        byte = code_[position_++];
        return true;
    }

    // Little-endian immediate or displacement of `size` bytes.
    bool next_le(std::size_t size, std::uint32_t& value) {
        value = 0;
        for (std::size_t i = 0; i < size; ++i) {
            std::uint8_t byte = 0;
            if (!next(byte)) {
                return false;
            }
            value |= static_cast<std::uint32_t>(byte) << (8 * i);
        }
        return true;
    }

    [[nodiscard]] std::size_t position() const { return position_; }

  private:
    const std::uint8_t* code_;
    std::size_t limit_;
    std::size_t position_ = 0;
};

std::int8_t register_number(unsigned low_bits, bool extended) {
    return static_cast<std::int8_t>(low_bits | (extended ? 8U : 0U));
}

}  // namespace

std::optional<MovInstruction> decode_mov(const std::uint8_t* code, std::size_t available) {
    ByteReader reader(code, available);
    std::uint8_t byte = 0;
    if (!reader.next(byte)) {
        return std::nullopt;
    }
    bool operand_size = false;
    if (byte == operand_size_prefix) {
        operand_size = true;
        if (!reader.next(byte)) {
            return std::nullopt;
        }
    }
    std::uint8_t rex = 0;
    if ((byte & 0xF0) == 0x40) {
        rex = byte;
        if (!reader.next(byte)) {
            return std::nullopt;
        }
    }

    MovInstruction mov;
    const auto full_width = static_cast<std::uint8_t>((rex & rex_w) ? 8 : operand_size ? 2 : 4);
    switch (byte) {
        case 0x88:
            mov.form = MovForm::store_register;
            mov.width = 1;
            break;
        case 0x89:
            mov.form = MovForm::store_register;
            mov.width = full_width;
            break;
        case 0x8A:
            mov.form = MovForm::load;
            mov.width = 1;
            break;
        case 0x8B:
            mov.form = MovForm::load;
            mov.width = full_width;
            break;
        case 0xC6:
            mov.form = MovForm::store_immediate;
            mov.width = 1;
            break;
        case 0xC7:
            mov.form = MovForm::store_immediate;
            mov.width = full_width;
            break;
        default:
            return std::nullopt;
    }

    std::uint8_t modrm = 0;
    if (!reader.next(modrm)) {
        return std::nullopt;
    }
    const unsigned mod = modrm >> 6;
    const unsigned reg_field = (modrm >> 3) & 7;
    const unsigned rm = modrm & 7;
    if (mod == 3) {
        return std::nullopt;  // register operand: no memory access
    }
    if (mov.form == MovForm::store_immediate && reg_field != 0) {
        return std::nullopt;  // C6/C7 /1../7 are not moves
    }
    mov.reg = static_cast<std::uint8_t>(register_number(reg_field, (rex & rex_r) != 0));

    bool displacement32 = mod == 2;
    if (rm == 4) {
        std::uint8_t sib = 0;
        if (!reader.next(sib)) {
            return std::nullopt;
        }
        mov.memory.scale = static_cast<std::uint8_t>(1U << (sib >> 6));
        const std::int8_t index = register_number((sib >> 3) & 7, (rex & rex_x) != 0);
        mov.memory.index = index == 4 ? no_register : index;  // 100 without REX.X: no index
        if ((sib & 7) == 5 && mod == 0) {
            displacement32 = true;  // no base, disp32 (also with REX.B)
        } else {
            mov.memory.base = register_number(sib & 7, (rex & rex_b) != 0);
        }
    } else if (rm == 5 && mod == 0) {
        mov.memory.rip_relative = true;  // also with REX.B
        displacement32 = true;
    } else {
        mov.memory.base = register_number(rm, (rex & rex_b) != 0);
    }

    std::uint32_t raw = 0;
    if (mod == 1) {
        if (!reader.next_le(1, raw)) {
            return std::nullopt;
        }
        mov.memory.displacement = static_cast<std::int8_t>(static_cast<std::uint8_t>(raw));
    } else if (displacement32) {
        if (!reader.next_le(4, raw)) {
            return std::nullopt;
        }
        mov.memory.displacement = static_cast<std::int32_t>(raw);
    }

    if (mov.form == MovForm::store_immediate) {
        // An 8-byte store takes a sign-extended 4-byte immediate.
        const std::size_t size = mov.width == 8 ? 4 : mov.width;
        if (!reader.next_le(size, mov.immediate)) {
            return std::nullopt;
        }
    }
    mov.length = static_cast<std::uint8_t>(reader.position());
    return mov;
}

std::uint64_t effective_address(const MovInstruction& mov, const std::uint64_t (&registers)[16],
                                std::uint64_t instruction_address) {
    const MemoryOperand& memory = mov.memory;
    // Two's-complement wrap-around, as the processor computes it.
    auto address = static_cast<std::uint64_t>(static_cast<std::int64_t>(memory.displacement));
    if (memory.rip_relative) {
        address += instruction_address + mov.length;
    }
    if (memory.base != no_register) {
        address += registers[memory.base];
    }
    if (memory.index != no_register) {
        address += registers[memory.index] * memory.scale;
    }
    return address;
}

}  // namespace vek_sim::trap
