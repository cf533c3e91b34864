#pragma once

// Status codes of libnorvexapi.
//
// Every operation reports one integer status: 0 is success, anything else names one failure.
// Codes are grouped into families by decimal range (both bounds excluded):
//   1000-1999 RS232 transport        3000-3999 USB transport
//   5000-5999 3964 line protocol     6000-6999 TLP224 reader protocol
//   7000-7999 block framing          8000-8999 API and card errors
//   0xA000-0xAFFF DESFire            anything else: a system error number (errno)
// Each constant carries the symbolic name of its entry in the status table (api/StatusTable.cpp).
// The exported text lookup, GetErrorText, is declared in include/norvexapi.h.

// RS232 transport (1001-1010).
constexpr long com_general_err = 1001;
constexpr long com_wrong_port = 1002;
constexpr long com_wrong_baudrate = 1003;
constexpr long com_send_error = 1004;
constexpr long com_read_error = 1005;  // also every failed or short reply read of the framing
constexpr long com_parity_err = 1006;
constexpr long can_not_flush = 1007;
constexpr long com_cannot_open = 1008;
constexpr long com_device_in_use = 1009;
constexpr long com_cannot_cnfg = 1010;

// USB transport (3001-3005).
constexpr long no_pnp_node = 3001;
constexpr long device_notfound = 3002;
constexpr long no_parsed_data = 3003;
constexpr long bad_parsed_data = 3004;
constexpr long no_dev_info = 3005;

// 3964 line protocol (5001-5025; 5005-5019 have no entry of their own).
constexpr long crc_wrong_alg = 5001;
constexpr long wrong_nr_len = 5002;
constexpr long wrong_rx_time = 5003;
constexpr long wrong_tx_time = 5004;
constexpr long mi_no_dle_rec = 5020;
constexpr long mi_no_stx_rec = 5021;
constexpr long mi_rec_overflow = 5022;
constexpr long mi_wrong_rec_len = 5023;
constexpr long overflow_3964 = 5024;
constexpr long crc_error = 5025;

// TLP224 reader protocol (6001-6033).
constexpr long rd_unknown_command = 6001;
constexpr long rd_driver_limitation = 6002;
constexpr long rd_wrong_arg_length = 6003;
constexpr long rd_protocol_error = 6004;
constexpr long rd_wrong_atr = 6005;
constexpr long rd_wrong_rd_ins = 6006;
constexpr long rd_msg_too_long = 6007;
constexpr long rd_read_error = 6008;
constexpr long rd_card_off = 6009;
constexpr long rd_prog_volt_error = 6010;
constexpr long rd_unknown_protocol = 6011;
constexpr long rd_length_error = 6012;
constexpr long rd_wrong_nb_of_param = 6013;
constexpr long rd_unknown_card_protocol = 6014;
constexpr long rd_card_mute = 6015;
constexpr long rd_card_parity_error = 6016;
constexpr long rd_card_wrong_procedure_byte = 6017;
constexpr long rd_transfert_to_card_interrupted = 6018;
constexpr long rd_card_removed = 6019;
constexpr long rd_short_circuit = 6020;
constexpr long rd_card_absent = 6021;
constexpr long rd_read_failed = 6022;
constexpr long rd_trans_error = 6023;
constexpr long rd_write_failed = 6024;
constexpr long rd_resp_too_long = 6025;
constexpr long rd_reader_mute = 6026;
constexpr long rd_status_too_long = 6027;
constexpr long rd_useless_error = 6028;
constexpr long rd_chaining_error = 6029;
constexpr long rd_resp_truncated = 6030;  // a DESFire reply of unexpected form or length
constexpr long rd_unknown_error = 6031;
constexpr long rd_num_errors = 6032;
constexpr long rd_lcr_errors = 6033;

// Block framing protocol (7001-7006).
constexpr long crc_err = 7001;  // bad reply CRC or wrong sequence number
constexpr long framing_erro = 7002;
constexpr long access_timeout = 7003;
constexpr long coll_err = 7004;
constexpr long resp_too_short = 7005;
constexpr long resp_too_long = 7006;

// API and card errors (8001-8046; 8042 has no entry of its own).
constexpr long no_card_in_rf = 8001;
constexpr long no_auth_allowed = 8002;
constexpr long wrong_card = 8003;
constexpr long no_auth_done = 8004;
constexpr long card_bit_err = 8005;
constexpr long card_byte_err = 8006;
constexpr long idle_err = 8007;
constexpr long any_wire_err = 8008;
constexpr long after_pooling = 8009;
constexpr long no_session_error = 8010;
constexpr long bad_session_sig = 8011;
constexpr long no_dir_keys = 8012;
constexpr long mem_no_space = 8013;
constexpr long bad_dir_plugin = 8014;
constexpr long no_mad_found = 8015;
constexpr long no_mad_mono = 8016;
constexpr long app_exists = 8017;
constexpr long no_sectors_app = 8018;
constexpr long no_unused_keys = 8019;
constexpr long no_app_keys = 8020;
constexpr long app_not_exists = 8021;
constexpr long reader_not_supported = 8022;
constexpr long cmd_not_supported = 8023;
constexpr long no_reader_name = 8024;
constexpr long no_reader_type = 8025;
constexpr long not_connected = 8026;
constexpr long interface_not_supported = 8027;
constexpr long invalid_keys = 8028;
constexpr long no_reader = 8029;
constexpr long vb_value_diff = 8030;
constexpr long wrong_parameter_value = 8031;
constexpr long no_buff = 8032;
constexpr long vb_addr_diff = 8033;
constexpr long read_too_long = 8034;
constexpr long vb_invalid_addr = 8035;
constexpr long unknown_command = 8036;
constexpr long unknown_card = 8037;
constexpr long no_reader_resp = 8038;
constexpr long invalid_data_acl = 8039;
constexpr long invalid_trailer_acl = 8040;
constexpr long socket_timeout = 8041;
constexpr long invalid_sector_offset = 8043;
constexpr long mi_comm_abort = 8044;
constexpr long no_iso_14443_4 = 8045;
constexpr long frame_too_small = 8046;

// DESFire. 0xA100 + s reports the card's own status byte s; 0xA2xx are the library's own.
constexpr long df_card_status_base = 0xA100;
constexpr long df_no_changes = 0xA10C;
constexpr long df_out_of_eeprom_error = 0xA10E;
constexpr long df_illegal_command_code = 0xA11C;
constexpr long df_integrity_error = 0xA11E;
constexpr long df_no_such_key = 0xA140;
constexpr long df_length_error = 0xA17E;
constexpr long df_permission_denied = 0xA19D;
constexpr long df_parameter_error = 0xA19E;
constexpr long df_application_not_found = 0xA1A0;
constexpr long df_appl_integrity_error = 0xA1A1;
constexpr long df_authentication_error = 0xA1AE;
constexpr long df_additional_frame = 0xA1AF;
constexpr long df_boundary_error = 0xA1BE;
constexpr long df_picc_integrity_error = 0xA1C1;
constexpr long df_command_aborted = 0xA1CA;
constexpr long df_picc_disabled_error = 0xA1CD;
constexpr long df_count_error = 0xA1CE;
constexpr long df_duplicate_error = 0xA1DE;
constexpr long df_eeprom_error = 0xA1EE;
constexpr long df_file_not_found = 0xA1F0;
constexpr long df_file_integrity_error = 0xA1F1;
constexpr long no_df_session = 0xA201;
constexpr long df_no_sesskey = 0xA202;
constexpr long df_bad_mac = 0xA203;
constexpr long df_bad_commset = 0xA204;
constexpr long df_bad_crc = 0xA205;
constexpr long df_bad_opid = 0xA206;
constexpr long df_unknown_error = 0xA2FF;

// Maps the signed status byte of a reader reply frame onto a library code (0 stays 0).
long GetErr(char status);

// Family text functions. Each returns its family's default text for any code it has no entry
// for, including codes outside its range. The texts are constant and owned by the library.
const char* GetSysErr(int code);
const char* GetCOMErr(int code);
const char* GetUSBErr(int code);
const char* Get3964Err(int code);
const char* GetTLP224Err(int code);
const char* GetBFPErr(int code);
const char* GetKstErr(int code);
const char* GetDesFireErr(int code);
