#pragma once

#include <QString>

#include <string>

// Lower-case hex of the UTF-8 bytes of `in`; how FIDO2 PINs travel on command lines.
void Str2HexStr(QString in, QString& out);

// Upper-case hex of `len` bytes; how OTP serials and static passwords travel.
void u1_2_hex_str(unsigned char* data, unsigned int len, std::string& out);
