// SPDX-License-Identifier: MIT
#pragma once

// Status codes as the library's own code names them: one constant per entry of the status table,
// each bound to the public name the callers see (include/norvexapi_status.h), so that the two can
// never disagree. This is the bottom of the library: every layer includes it, and it includes
// nothing of theirs.

#include "norvexapi_status.h"

// RS232 transport (1001-1010).
inline constexpr long com_general_err = NORVEX_E_COM_GENERAL_ERR;
inline constexpr long com_wrong_port = NORVEX_E_COM_WRONG_PORT;
inline constexpr long com_wrong_baudrate = NORVEX_E_COM_WRONG_BAUDRATE;
inline constexpr long com_send_error = NORVEX_E_COM_SEND_ERROR;
inline constexpr long com_read_error =
    NORVEX_E_COM_READ_ERROR;  // also every failed or short reply read of the framing
inline constexpr long com_parity_err = NORVEX_E_COM_PARITY_ERR;
inline constexpr long can_not_flush = NORVEX_E_CAN_NOT_FLUSH;
inline constexpr long com_cannot_open = NORVEX_E_COM_CANNOT_OPEN;
inline constexpr long com_device_in_use = NORVEX_E_COM_DEVICE_IN_USE;
inline constexpr long com_cannot_cnfg = NORVEX_E_COM_CANNOT_CNFG;

// USB transport (3001-3005).
inline constexpr long no_pnp_node = NORVEX_E_NO_PNP_NODE;
inline constexpr long device_notfound = NORVEX_E_DEVICE_NOTFOUND;
inline constexpr long no_parsed_data = NORVEX_E_NO_PARSED_DATA;
inline constexpr long bad_parsed_data = NORVEX_E_BAD_PARSED_DATA;
inline constexpr long no_dev_info = NORVEX_E_NO_DEV_INFO;

// 3964 line protocol (5001-5025; 5005-5019 have no entry of their own).
inline constexpr long crc_wrong_alg = NORVEX_E_CRC_WRONG_ALG;
inline constexpr long wrong_nr_len = NORVEX_E_WRONG_NR_LEN;
inline constexpr long wrong_rx_time = NORVEX_E_WRONG_RX_TIME;
inline constexpr long wrong_tx_time = NORVEX_E_WRONG_TX_TIME;
inline constexpr long mi_no_dle_rec = NORVEX_E_MI_NO_DLE_REC;
inline constexpr long mi_no_stx_rec = NORVEX_E_MI_NO_STX_REC;
inline constexpr long mi_rec_overflow = NORVEX_E_MI_REC_OVERFLOW;
inline constexpr long mi_wrong_rec_len = NORVEX_E_MI_WRONG_REC_LEN;
inline constexpr long overflow_3964 = NORVEX_E_OVERFLOW_3964;
inline constexpr long crc_error = NORVEX_E_CRC_ERROR;

// TLP224 reader protocol (6001-6033).
inline constexpr long rd_unknown_command = NORVEX_E_RD_UNKNOWN_COMMAND;
inline constexpr long rd_driver_limitation = NORVEX_E_RD_DRIVER_LIMITATION;
inline constexpr long rd_wrong_arg_length = NORVEX_E_RD_WRONG_ARG_LENGTH;
inline constexpr long rd_protocol_error = NORVEX_E_RD_PROTOCOL_ERROR;
inline constexpr long rd_wrong_atr = NORVEX_E_RD_WRONG_ATR;
inline constexpr long rd_wrong_rd_ins = NORVEX_E_RD_WRONG_RD_INS;
inline constexpr long rd_msg_too_long = NORVEX_E_RD_MSG_TOO_LONG;
inline constexpr long rd_read_error = NORVEX_E_RD_READ_ERROR;
inline constexpr long rd_card_off = NORVEX_E_RD_CARD_OFF;
inline constexpr long rd_prog_volt_error = NORVEX_E_RD_PROG_VOLT_ERROR;
inline constexpr long rd_unknown_protocol = NORVEX_E_RD_UNKNOWN_PROTOCOL;
inline constexpr long rd_length_error = NORVEX_E_RD_LENGTH_ERROR;
inline constexpr long rd_wrong_nb_of_param = NORVEX_E_RD_WRONG_NB_OF_PARAM;
inline constexpr long rd_unknown_card_protocol = NORVEX_E_RD_UNKNOWN_CARD_PROTOCOL;
inline constexpr long rd_card_mute = NORVEX_E_RD_CARD_MUTE;
inline constexpr long rd_card_parity_error = NORVEX_E_RD_CARD_PARITY_ERROR;
inline constexpr long rd_card_wrong_procedure_byte = NORVEX_E_RD_CARD_WRONG_PROCEDURE_BYTE;
inline constexpr long rd_transfert_to_card_interrupted = NORVEX_E_RD_TRANSFERT_TO_CARD_INTERRUPTED;
inline constexpr long rd_card_removed = NORVEX_E_RD_CARD_REMOVED;
inline constexpr long rd_short_circuit = NORVEX_E_RD_SHORT_CIRCUIT;
inline constexpr long rd_card_absent = NORVEX_E_RD_CARD_ABSENT;
inline constexpr long rd_read_failed = NORVEX_E_RD_READ_FAILED;
inline constexpr long rd_trans_error = NORVEX_E_RD_TRANS_ERROR;
inline constexpr long rd_write_failed = NORVEX_E_RD_WRITE_FAILED;
inline constexpr long rd_resp_too_long = NORVEX_E_RD_RESP_TOO_LONG;
inline constexpr long rd_reader_mute = NORVEX_E_RD_READER_MUTE;
inline constexpr long rd_status_too_long = NORVEX_E_RD_STATUS_TOO_LONG;
inline constexpr long rd_useless_error = NORVEX_E_RD_USELESS_ERROR;
inline constexpr long rd_chaining_error = NORVEX_E_RD_CHAINING_ERROR;
inline constexpr long rd_resp_truncated =
    NORVEX_E_RD_RESP_TRUNCATED;  // a DESFire reply of unexpected form or length
inline constexpr long rd_unknown_error = NORVEX_E_RD_UNKNOWN_ERROR;
inline constexpr long rd_num_errors = NORVEX_E_RD_NUM_ERRORS;
inline constexpr long rd_lcr_errors = NORVEX_E_RD_LCR_ERRORS;

// Block framing protocol (7001-7006).
inline constexpr long crc_err = NORVEX_E_CRC_ERR;  // bad reply CRC or wrong sequence number
inline constexpr long framing_erro = NORVEX_E_FRAMING_ERRO;
inline constexpr long access_timeout = NORVEX_E_ACCESS_TIMEOUT;
inline constexpr long coll_err = NORVEX_E_COLL_ERR;
inline constexpr long resp_too_short = NORVEX_E_RESP_TOO_SHORT;
inline constexpr long resp_too_long = NORVEX_E_RESP_TOO_LONG;

// API and card errors (8001-8047).
inline constexpr long no_card_in_rf = NORVEX_E_NO_CARD_IN_RF;
inline constexpr long no_auth_allowed = NORVEX_E_NO_AUTH_ALLOWED;
inline constexpr long wrong_card = NORVEX_E_WRONG_CARD;
inline constexpr long no_auth_done = NORVEX_E_NO_AUTH_DONE;
inline constexpr long card_bit_err = NORVEX_E_CARD_BIT_ERR;
inline constexpr long card_byte_err = NORVEX_E_CARD_BYTE_ERR;
inline constexpr long idle_err = NORVEX_E_IDLE_ERR;
inline constexpr long any_wire_err = NORVEX_E_ANY_WIRE_ERR;
inline constexpr long after_pooling = NORVEX_E_AFTER_POOLING;
inline constexpr long no_session_error = NORVEX_E_NO_SESSION_ERROR;
inline constexpr long bad_session_sig = NORVEX_E_BAD_SESSION_SIG;
inline constexpr long no_dir_keys = NORVEX_E_NO_DIR_KEYS;
inline constexpr long mem_no_space = NORVEX_E_MEM_NO_SPACE;
inline constexpr long bad_dir_plugin = NORVEX_E_BAD_DIR_PLUGIN;
inline constexpr long no_mad_found = NORVEX_E_NO_MAD_FOUND;
inline constexpr long no_mad_mono = NORVEX_E_NO_MAD_MONO;
inline constexpr long app_exists = NORVEX_E_APP_EXISTS;
inline constexpr long no_sectors_app = NORVEX_E_NO_SECTORS_APP;
inline constexpr long no_unused_keys = NORVEX_E_NO_UNUSED_KEYS;
inline constexpr long no_app_keys = NORVEX_E_NO_APP_KEYS;
inline constexpr long app_not_exists = NORVEX_E_APP_NOT_EXISTS;
inline constexpr long reader_not_supported = NORVEX_E_READER_NOT_SUPPORTED;
inline constexpr long cmd_not_supported = NORVEX_E_CMD_NOT_SUPPORTED;
inline constexpr long no_reader_name = NORVEX_E_NO_READER_NAME;
inline constexpr long no_reader_type = NORVEX_E_NO_READER_TYPE;
inline constexpr long not_connected = NORVEX_E_NOT_CONNECTED;
inline constexpr long interface_not_supported = NORVEX_E_INTERFACE_NOT_SUPPORTED;
inline constexpr long invalid_keys = NORVEX_E_INVALID_KEYS;
inline constexpr long no_reader = NORVEX_E_NO_READER;
inline constexpr long vb_value_diff = NORVEX_E_VB_VALUE_DIFF;
inline constexpr long wrong_parameter_value = NORVEX_E_WRONG_PARAMETER_VALUE;
inline constexpr long no_buff = NORVEX_E_NO_BUFF;
inline constexpr long vb_addr_diff = NORVEX_E_VB_ADDR_DIFF;
inline constexpr long read_too_long = NORVEX_E_READ_TOO_LONG;
inline constexpr long vb_invalid_addr = NORVEX_E_VB_INVALID_ADDR;
inline constexpr long unknown_command = NORVEX_E_UNKNOWN_COMMAND;
inline constexpr long unknown_card = NORVEX_E_UNKNOWN_CARD;
inline constexpr long no_reader_resp = NORVEX_E_NO_READER_RESP;
inline constexpr long invalid_data_acl = NORVEX_E_INVALID_DATA_ACL;
inline constexpr long invalid_trailer_acl = NORVEX_E_INVALID_TRAILER_ACL;
inline constexpr long socket_timeout = NORVEX_E_SOCKET_TIMEOUT;
inline constexpr long unknown_error =
    NORVEX_E_UNKNOWN_ERROR;  // the catch-all of the API family; also an unexpected internal failure
inline constexpr long invalid_sector_offset = NORVEX_E_INVALID_SECTOR_OFFSET;
inline constexpr long mi_comm_abort = NORVEX_E_MI_COMM_ABORT;
inline constexpr long no_iso_14443_4 = NORVEX_E_NO_ISO_14443_4;
inline constexpr long frame_too_small = NORVEX_E_FRAME_TOO_SMALL;
inline constexpr long wrong_buffer_size =
    NORVEX_E_WRONG_BUFFER_SIZE;  // a buffer size that does not fit the transfer

// NDEF messages and records (8101-8110).
inline constexpr long ndef_empty_message = NORVEX_E_NDEF_EMPTY_MESSAGE;
inline constexpr long ndef_truncated = NORVEX_E_NDEF_TRUNCATED;
inline constexpr long ndef_bad_message_flags = NORVEX_E_NDEF_BAD_MESSAGE_FLAGS;
inline constexpr long ndef_unfinished_chunk = NORVEX_E_NDEF_UNFINISHED_CHUNK;
inline constexpr long ndef_bad_chunk = NORVEX_E_NDEF_BAD_CHUNK;
inline constexpr long ndef_bad_record = NORVEX_E_NDEF_BAD_RECORD;
inline constexpr long ndef_bad_payload = NORVEX_E_NDEF_BAD_PAYLOAD;
inline constexpr long ndef_no_tlv = NORVEX_E_NDEF_NO_TLV;
inline constexpr long ndef_too_large = NORVEX_E_NDEF_TOO_LARGE;
inline constexpr long ndef_read_only = NORVEX_E_NDEF_READ_ONLY;
inline constexpr long ndef_bad_container = NORVEX_E_NDEF_BAD_CONTAINER;
inline constexpr long ndef_card_refused = NORVEX_E_NDEF_CARD_REFUSED;
inline constexpr long mad_bad_crc = NORVEX_E_MAD_BAD_CRC;
inline constexpr long mad_bad_entry = NORVEX_E_MAD_BAD_ENTRY;
inline constexpr long ndef_bad_control_tlv = NORVEX_E_NDEF_BAD_CONTROL_TLV;

// DESFire. 0xA100 + s reports the card's own status byte s; 0xA2xx are the library's own.
inline constexpr long df_no_changes = NORVEX_E_DF_NO_CHANGES;
inline constexpr long df_out_of_eeprom_error = NORVEX_E_DF_OUT_OF_EEPROM_ERROR;
inline constexpr long df_illegal_command_code = NORVEX_E_DF_ILLEGAL_COMMAND_CODE;
inline constexpr long df_integrity_error = NORVEX_E_DF_INTEGRITY_ERROR;
inline constexpr long df_no_such_key = NORVEX_E_DF_NO_SUCH_KEY;
inline constexpr long df_length_error = NORVEX_E_DF_LENGTH_ERROR;
inline constexpr long df_permission_denied = NORVEX_E_DF_PERMISSION_DENIED;
inline constexpr long df_parameter_error = NORVEX_E_DF_PARAMETER_ERROR;
inline constexpr long df_application_not_found = NORVEX_E_DF_APPLICATION_NOT_FOUND;
inline constexpr long df_appl_integrity_error = NORVEX_E_DF_APPL_INTEGRITY_ERROR;
inline constexpr long df_authentication_error = NORVEX_E_DF_AUTHENTICATION_ERROR;
inline constexpr long df_additional_frame = NORVEX_E_DF_ADDITIONAL_FRAME;
inline constexpr long df_boundary_error = NORVEX_E_DF_BOUNDARY_ERROR;
inline constexpr long df_picc_integrity_error = NORVEX_E_DF_PICC_INTEGRITY_ERROR;
inline constexpr long df_command_aborted = NORVEX_E_DF_COMMAND_ABORTED;
inline constexpr long df_picc_disabled_error = NORVEX_E_DF_PICC_DISABLED_ERROR;
inline constexpr long df_count_error = NORVEX_E_DF_COUNT_ERROR;
inline constexpr long df_duplicate_error = NORVEX_E_DF_DUPLICATE_ERROR;
inline constexpr long df_eeprom_error = NORVEX_E_DF_EEPROM_ERROR;
inline constexpr long df_file_not_found = NORVEX_E_DF_FILE_NOT_FOUND;
inline constexpr long df_file_integrity_error = NORVEX_E_DF_FILE_INTEGRITY_ERROR;
inline constexpr long no_df_session = NORVEX_E_NO_DF_SESSION;
inline constexpr long df_no_sesskey = NORVEX_E_DF_NO_SESSKEY;
inline constexpr long df_bad_mac = NORVEX_E_DF_BAD_MAC;
inline constexpr long df_bad_commset = NORVEX_E_DF_BAD_COMMSET;
inline constexpr long df_bad_crc = NORVEX_E_DF_BAD_CRC;
inline constexpr long df_bad_opid = NORVEX_E_DF_BAD_OPID;
inline constexpr long df_unknown_error = NORVEX_E_DF_UNKNOWN_ERROR;

// DESFire card status byte s is reported as df_card_status_base + s.
inline constexpr long df_card_status_base = 0xA100;

// Maps the signed status byte of a reader reply frame onto a library code (0 stays 0).
long GetErr(char status);
