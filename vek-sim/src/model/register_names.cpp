#include "vek_sim/registers.hpp"

namespace vek_sim {

std::string_view debug_register_name(std::uint32_t reg) {
    switch (reg) {
        case tdi_status:
            return "TDI_STATUS";
        case tdi_run_break:
            return "TDI_RUN_BREAK";
        case tdi_instruction:
            return "TDI_INSTRUCTION";
        case tdi_instruction_context:
            return "TDI_INSTRUCTION_CONTEXT";
        case tdi_resume:
            return "TDI_RESUME";
        case tdi_data:
            return "TDI_DATA";
        case tdi_instruction_status:
            return "TDI_INSTRUCTION_STATUS";
        case tdi_instruction_control:
            return "TDI_INSTRUCTION_CONTROL";
        case tdi_incoming_dcount:
            return "TDI_INCOMING_DCOUNT";
        case tdi_exchange_control:
            return "TDI_EXCHANGE_CONTROL";
        default:
            return "";
    }
}

}  // namespace vek_sim
