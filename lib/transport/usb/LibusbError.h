// SPDX-License-Identifier: MIT
#pragma once

// Turns a libusb error code into a library status code: a missing device becomes 3002
// (device_notfound), a timeout 8038 (no_reader_resp), every other failure the matching system
// error number (EBUSY, EIO, ...). 0 stays 0. This is the only place libusb codes are interpreted.
long TranslateLibusbError(int error);
