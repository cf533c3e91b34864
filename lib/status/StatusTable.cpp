// SPDX-License-Identifier: MIT
// The status table: every code with its name and text, and the lookups over it.
//
// The texts are the library's own user-visible messages and are kept exactly as callers have
// always seen them, spelling included.

#include "status/StatusTable.h"

#include <algorithm>
#include <cstring>

#include "norvexapi.h"
#include "status/StatusCodes.h"

namespace {

// Pairs a code constant with its own name, so a table entry cannot carry the wrong name.
#define NORVEX_STATUS(name, text) \
  StatusEntry {                   \
    name, #name, text             \
  }

constexpr StatusEntry kStatusTable[] = {
    // RS232 transport
    NORVEX_STATUS(com_general_err, "RS232 ERROR: unknown error"),
    NORVEX_STATUS(com_wrong_port, "RS232 ERROR: invalid port number is set"),
    NORVEX_STATUS(com_wrong_baudrate, "RS232 ERROR: invlaid baud rate is set"),
    NORVEX_STATUS(com_send_error, "RS232 ERROR: write failuture"),
    NORVEX_STATUS(com_read_error, "RS232 ERROR: read failuture"),
    NORVEX_STATUS(com_parity_err, "RS232 ERROR: parity error"),
    NORVEX_STATUS(can_not_flush, "RS232 ERROR: can not flush COM buffers"),
    NORVEX_STATUS(com_cannot_open, "RS232 ERROR: can not open the port"),
    NORVEX_STATUS(com_device_in_use, "RS232 ERROR: port is already in use"),
    NORVEX_STATUS(com_cannot_cnfg, "RS232 ERROR: can not configure the port"),

    // USB transport
    NORVEX_STATUS(no_pnp_node, "USB ERROR: PnP node for HID devices was not found"),
    NORVEX_STATUS(device_notfound, "USB ERROR: device was not found"),
    NORVEX_STATUS(no_parsed_data, "USB ERROR: device prased data was not found"),
    NORVEX_STATUS(bad_parsed_data, "USB ERROR: device prased data was corrupted"),
    NORVEX_STATUS(no_dev_info, "USB ERROR: no device info was found"),

    // 3964 line protocol
    NORVEX_STATUS(crc_wrong_alg, "wrong crc algorithem"),
    NORVEX_STATUS(wrong_nr_len, "wrong NR size"),
    NORVEX_STATUS(wrong_rx_time, "bad rx time"),
    NORVEX_STATUS(wrong_tx_time, "bad tx time"),
    NORVEX_STATUS(mi_no_dle_rec, "no DLE"),
    NORVEX_STATUS(mi_no_stx_rec, "no STX"),
    NORVEX_STATUS(mi_rec_overflow, "too long data received"),
    NORVEX_STATUS(mi_wrong_rec_len, "unexpected data received"),
    NORVEX_STATUS(overflow_3964, "protocol overflow"),
    NORVEX_STATUS(crc_error, "CRC error"),

    // TLP224 reader protocol
    NORVEX_STATUS(rd_unknown_command, "TLP224 ERROR: unknown command send"),
    NORVEX_STATUS(rd_driver_limitation, "TLP224 ERROR: driver limit error"),
    NORVEX_STATUS(rd_wrong_arg_length, "TLP224 ERROR: argument is incorrect"),
    NORVEX_STATUS(rd_protocol_error, "TLP224 ERROR: general protocol error"),
    NORVEX_STATUS(rd_wrong_atr, "TLP224 ERROR: attribute is wrong"),
    NORVEX_STATUS(rd_wrong_rd_ins, "TLP224 ERROR: unknown instruction"),
    NORVEX_STATUS(rd_msg_too_long, "TLP224 ERROR: message is too long"),
    NORVEX_STATUS(rd_read_error, "TLP224 ERROR: can not read the card"),
    NORVEX_STATUS(rd_card_off, "TLP224 ERROR: card is off"),
    NORVEX_STATUS(rd_prog_volt_error, "TLP224 ERROR: card wrong voltage"),
    NORVEX_STATUS(rd_unknown_protocol, "TLP224 ERROR: protocol is not applicable"),
    NORVEX_STATUS(rd_length_error, "TLP224 ERROR: wrong length used"),
    NORVEX_STATUS(rd_wrong_nb_of_param, "TLP224 ERROR: wrong number of parameters"),
    NORVEX_STATUS(rd_unknown_card_protocol, "TLP224 ERROR: unknown card"),
    NORVEX_STATUS(rd_card_mute, "TLP224 ERROR: card is mute"),
    NORVEX_STATUS(rd_card_parity_error, "TLP224 ERROR: card parity error"),
    NORVEX_STATUS(rd_card_wrong_procedure_byte, "TLP224 ERROR: card procedure wrong byte"),
    NORVEX_STATUS(rd_transfert_to_card_interrupted, "TLP224 ERROR: transfer to card interrupted"),
    NORVEX_STATUS(rd_card_removed, "TLP224 ERROR: card has been removed"),
    NORVEX_STATUS(rd_short_circuit, "TLP224 ERROR: electrical interfrence"),
    NORVEX_STATUS(rd_card_absent, "TLP224 ERROR: no card"),
    NORVEX_STATUS(rd_read_failed, "TLP224 ERROR: can not read the card"),
    NORVEX_STATUS(rd_trans_error, "TLP224 ERROR: tranfer failed"),
    NORVEX_STATUS(rd_write_failed, "TLP224 ERROR: write failed"),
    NORVEX_STATUS(rd_resp_too_long, "TLP224 ERROR: reader response is too long"),
    NORVEX_STATUS(rd_reader_mute, "TLP224 ERROR: reader is mute"),
    NORVEX_STATUS(rd_status_too_long, "TLP224 ERROR: incorrect reader status"),
    NORVEX_STATUS(rd_useless_error, "TLP224 ERROR: nonfatal error"),
    NORVEX_STATUS(rd_chaining_error, "TLP224 ERROR: chainig error"),
    NORVEX_STATUS(rd_resp_truncated, "TLP224 ERROR: "),
    NORVEX_STATUS(rd_unknown_error, "TLP224 ERROR: unknown error"),
    NORVEX_STATUS(rd_num_errors, "TLP224 ERROR: wrong number"),
    NORVEX_STATUS(rd_lcr_errors, "TLP224 ERROR: CRC is wrong"),

    // Block framing protocol
    NORVEX_STATUS(crc_err, "BlockFramingProtocol: wrong CRC"),
    NORVEX_STATUS(framing_erro, "BlockFramingProtocol: bad frame"),
    NORVEX_STATUS(access_timeout, "BlockFramingProtocol: card access time-out"),
    NORVEX_STATUS(coll_err, "BlockFramingProtocol: collision occured"),
    NORVEX_STATUS(resp_too_short, "BlockFramingProtocol: response is too short"),
    NORVEX_STATUS(resp_too_long, "BlockFramingProtocol: response is too long"),

    // API and card errors
    NORVEX_STATUS(no_card_in_rf, "ERROR: no card in range"),
    NORVEX_STATUS(no_auth_allowed, "ERROR: authorization is not allowed"),
    NORVEX_STATUS(wrong_card, "ERROR: wrong card or card replaced"),
    NORVEX_STATUS(no_auth_done, "ERROR: previous authorization expected"),
    NORVEX_STATUS(card_bit_err, "ERROR: card bit"),
    NORVEX_STATUS(card_byte_err, "ERROR: card byte"),
    NORVEX_STATUS(idle_err, "ERROR: idle state card"),
    NORVEX_STATUS(any_wire_err, "ERROR: write failed"),
    NORVEX_STATUS(after_pooling, "ERROR: after pooling action"),
    NORVEX_STATUS(no_session_error, "ERROR: no session"),
    NORVEX_STATUS(bad_session_sig, "ERROR: invalid session used"),
    NORVEX_STATUS(no_dir_keys, "ERROR: no directory keys set for the session"),
    NORVEX_STATUS(mem_no_space, "ERROR: not enough memory"),
    NORVEX_STATUS(bad_dir_plugin, "ERROR: directory plugin is not valid"),
    NORVEX_STATUS(no_mad_found, "ERROR: no mad found on the card"),
    NORVEX_STATUS(no_mad_mono, "ERROR: mad is mono application"),
    NORVEX_STATUS(app_exists, "ERROR: application already exists"),
    NORVEX_STATUS(no_sectors_app, "ERROR: application with no sectors is used"),
    NORVEX_STATUS(no_unused_keys, "ERROR: no unused sectors keys set for the session"),
    NORVEX_STATUS(no_app_keys, "ERROR: no keys provided for the application"),
    NORVEX_STATUS(app_not_exists, "ERROR: no applications on the card"),
    NORVEX_STATUS(reader_not_supported, "ERROR: this reader is not supported"),
    NORVEX_STATUS(cmd_not_supported, "ERROR: this command is not supported"),
    NORVEX_STATUS(no_reader_name, "ERROR: no reader name is provided"),
    NORVEX_STATUS(no_reader_type, "ERROR: no reader type is provided"),
    NORVEX_STATUS(not_connected, "ERROR: currently no reader is connected"),
    NORVEX_STATUS(interface_not_supported, "ERROR: this interface is not supported"),
    NORVEX_STATUS(invalid_keys, "ERROR: keys are invalid"),
    NORVEX_STATUS(no_reader, "ERROR: no reader"),
    NORVEX_STATUS(vb_value_diff, "ERROR: value block has corrupted value bytes"),
    NORVEX_STATUS(wrong_parameter_value, "ERROR: wrong prameter is used"),
    NORVEX_STATUS(no_buff, "ERROR: no buffer"),
    NORVEX_STATUS(vb_addr_diff, "ERROR: value block has corrupted address bytes"),
    NORVEX_STATUS(read_too_long, "ERROR: reading too much data"),
    NORVEX_STATUS(vb_invalid_addr, "ERROR: value block has corrupted address bytes"),
    NORVEX_STATUS(unknown_command, "ERROR: unknown command"),
    NORVEX_STATUS(unknown_card, "ERROR: unknown card in range"),
    NORVEX_STATUS(no_reader_resp, "ERROR: reponse time out for reader"),
    NORVEX_STATUS(invalid_data_acl, "ERROR: invalid ACL for data blocks"),
    NORVEX_STATUS(invalid_trailer_acl, "ERROR: invalid ACL for trailer"),
    NORVEX_STATUS(socket_timeout, "ERROR: socket error"),
    NORVEX_STATUS(unknown_error, "ERROR: unknown error"),
    NORVEX_STATUS(invalid_sector_offset, "ERROR: invalid sector offset given"),
    NORVEX_STATUS(mi_comm_abort, "ERROR: operation aborted"),
    NORVEX_STATUS(no_iso_14443_4, "ERROR: ISO 14443 part 4 is not supported"),
    NORVEX_STATUS(frame_too_small, "ERROR: ISO 14443 part 4 frame is too small"),
    NORVEX_STATUS(wrong_buffer_size, "ERROR: unknown error"),
    NORVEX_STATUS(ndef_empty_message, "NDEF: the message holds no record"),
    NORVEX_STATUS(ndef_truncated, "NDEF: a length runs past the end of the message"),
    NORVEX_STATUS(ndef_bad_message_flags, "NDEF: message begin or end flag out of place"),
    NORVEX_STATUS(ndef_unfinished_chunk, "NDEF: chunked record without its last chunk"),
    NORVEX_STATUS(ndef_bad_chunk, "NDEF: chunk with a type, an ID or a format of its own"),
    NORVEX_STATUS(ndef_bad_record, "NDEF: type name format and lengths do not go together"),
    NORVEX_STATUS(ndef_bad_payload, "NDEF: malformed Text or URI payload"),
    NORVEX_STATUS(ndef_no_tlv,
                  "NDEF: no NDEF message on the tag (no NDEF TLV, or no capability container)"),
    NORVEX_STATUS(ndef_too_large, "NDEF: the message does not fit the tag"),
    NORVEX_STATUS(ndef_read_only, "NDEF: the tag is read-only"),
    NORVEX_STATUS(ndef_bad_container, "NDEF: malformed capability container"),
    NORVEX_STATUS(ndef_card_refused, "NDEF: the tag refused a command of the NDEF mapping"),
    NORVEX_STATUS(mad_bad_crc, "MAD: the directory's CRC does not match its bytes"),
    NORVEX_STATUS(mad_bad_entry, "MAD: the info byte or an entry names a sector the card lacks"),
    NORVEX_STATUS(ndef_bad_control_tlv,
                  "NDEF: malformed lock or memory control TLV on a type 2 tag"),

    // DESFire: card status bytes (0xA1xx), then the library's own (0xA2xx)
    NORVEX_STATUS(df_no_changes, "DESFire error: no changes"),
    NORVEX_STATUS(df_out_of_eeprom_error, "DESFire error: out of EEPROM"),
    NORVEX_STATUS(df_illegal_command_code, "DESFire error: illegal command code"),
    NORVEX_STATUS(df_integrity_error, "DESFire error: integrity error"),
    NORVEX_STATUS(df_no_such_key, "DESFire error: no such key"),
    NORVEX_STATUS(df_length_error, "DESFire error: length error"),
    NORVEX_STATUS(df_permission_denied, "DESFire error: permission denied"),
    NORVEX_STATUS(df_parameter_error, "DESFire error: parameter error"),
    NORVEX_STATUS(df_application_not_found, "DESFire error: application not found"),
    NORVEX_STATUS(df_appl_integrity_error, "DESFire error: application integrity error"),
    NORVEX_STATUS(df_authentication_error, "DESFire error: authentication error"),
    NORVEX_STATUS(df_additional_frame, "DESFire error: additional frame follows"),
    NORVEX_STATUS(df_boundary_error, "DESFire error: boundary error"),
    NORVEX_STATUS(df_picc_integrity_error, "DESFire error: PICC integrity error"),
    NORVEX_STATUS(df_command_aborted, "DESFire error: command aborted"),
    NORVEX_STATUS(df_picc_disabled_error, "DESFire error: PICC disabled"),
    NORVEX_STATUS(df_count_error, "DESFire error: count error"),
    NORVEX_STATUS(df_duplicate_error, "DESFire error: duplicate error"),
    NORVEX_STATUS(df_eeprom_error, "DESFire error: EEPROM error"),
    NORVEX_STATUS(df_file_not_found, "DESFire error: file not found"),
    NORVEX_STATUS(df_file_integrity_error, "DESFire error: file integrity error"),
    NORVEX_STATUS(no_df_session, "DESFire error: no DESFire session"),
    NORVEX_STATUS(df_no_sesskey, "DESFire error: no session key"),
    NORVEX_STATUS(df_bad_mac, "DESFire error: bad MAC"),
    NORVEX_STATUS(df_bad_commset, "DESFire error: bad communication settings"),
    NORVEX_STATUS(df_bad_crc, "DESFire error: bad CRC"),
    NORVEX_STATUS(df_bad_opid, "DESFire error: bad operation ID"),
    NORVEX_STATUS(df_unknown_error, "DESFire error: unknown error"),
};

#undef NORVEX_STATUS

// Exact lookup relies on the order; a misplaced entry fails the build.
static_assert(std::ranges::is_sorted(kStatusTable, std::ranges::less{}, &StatusEntry::code));
static_assert(std::ranges::adjacent_find(kStatusTable, {}, &StatusEntry::code) ==
              std::ranges::end(kStatusTable));

// A family owns the codes strictly between its bounds and answers every other code with its
// default text.
struct StatusFamily {
  long lowerBound;
  long upperBound;
  const char* defaultText;
};

constexpr StatusFamily kCOMFamily{1000, 1999, "RS232 ERROR: unknown error"};
constexpr StatusFamily kUSBFamily{3000, 3999, "ERROR: unknown error"};
constexpr StatusFamily k3964Family{5000, 5999, "unknown error"};
constexpr StatusFamily kTLP224Family{6000, 6999, "TLP224 ERROR: unknown error"};
constexpr StatusFamily kBFPFamily{7000, 7999, "BlockFramingProtocol: unknown error"};
constexpr StatusFamily kKstFamily{8000, 8999, "ERROR: unknown error"};
constexpr StatusFamily kDesFireFamily{0xA000, 0xAFFF, "DESFire error: unknown error"};

constexpr bool InFamily(const StatusFamily& family, long code) {
  return code > family.lowerBound && code < family.upperBound;
}

const char* FamilyText(const StatusFamily& family, long code) {
  if (!InFamily(family, code)) return family.defaultText;
  const auto* entry = std::ranges::lower_bound(kStatusTable, code, {}, &StatusEntry::code);
  if (entry == std::ranges::end(kStatusTable) || entry->code != code) return family.defaultText;
  return entry->text;
}

// Which text function answers which range, in the order GetErrorText tries them.
struct FamilyRoute {
  const StatusFamily& family;
  const char* (*text)(int);
};

}  // namespace

std::span<const StatusEntry> StatusTable() {
  return kStatusTable;
}

const char* GetSysErr(int code) {
  return std::strerror(code);
}
const char* GetCOMErr(int code) {
  return FamilyText(kCOMFamily, code);
}
const char* GetUSBErr(int code) {
  return FamilyText(kUSBFamily, code);
}
const char* Get3964Err(int code) {
  return FamilyText(k3964Family, code);
}
const char* GetTLP224Err(int code) {
  return FamilyText(kTLP224Family, code);
}
const char* GetBFPErr(int code) {
  return FamilyText(kBFPFamily, code);
}
const char* GetKstErr(int code) {
  return FamilyText(kKstFamily, code);
}
const char* GetDesFireErr(int code) {
  return FamilyText(kDesFireFamily, code);
}

extern "C" const char* GetErrorText(int code) {
  static constexpr FamilyRoute kRoutes[] = {
      {kCOMFamily, GetCOMErr},         {kUSBFamily, GetUSBErr}, {k3964Family, Get3964Err},
      {kTLP224Family, GetTLP224Err},   {kBFPFamily, GetBFPErr}, {kKstFamily, GetKstErr},
      {kDesFireFamily, GetDesFireErr},
  };
  for (const auto& route : kRoutes) {
    if (InFamily(route.family, code)) return route.text(code);
  }
  return GetSysErr(code);
}
