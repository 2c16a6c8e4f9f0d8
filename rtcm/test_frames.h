// Frames for the tests of this folder and the NTRIP reply filter's RTCM 3 case: vectors made
// by an independent encoder, and payloads whose contents a test chooses.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillon::testframes {

// Made by RTKLIB 2.4.3 b34 (Debian's rtklib package): a stream converter with no input
// messages writes only the station messages asked for, e.g.
//   str2str -in '#rtcm3' -out 'file://out.rtcm3#rtcm3' -sta 2001
//     -msg '1005(1),1006(1),1007(1),1008(1),1033(1)' -p 34.949756936 139.069904560 411.2090
//     -a 'TRM59800.00,SCIS,12345' -i 'TRIMBLE NETR9,5.45,9876'
// with a few bytes on standard input. Each CRC was also checked with a bit-by-bit CRC-24Q in
// Python. The position is GEONET station 0841's (RTKLIB's geonet_F5.pos, ITRF2014).
inline constexpr std::string_view kGeonet1005 =
    "d300133ed7d10336cb0cddd287fbd265f20875c1768133ca81";
inline constexpr std::string_view kGeonet1006 =
    "d300153ee7d10336cb0cddd287fbd265f20875c17681000067a5d5";
inline constexpr std::string_view kGeonet1007 = "d300103ef7d10b54524d35393830302e3030398c97e8";
inline constexpr std::string_view kGeonet1008 =
    "d300153f07d10b54524d35393830302e3030390453434953aa7058";
inline constexpr std::string_view kGeonet1033 =
    "d3002d4097d10b54524d35393830302e30303904534349530d5452494d424c45204e4554523904352e34350439"
    "38373613c140";
// -sta 1234 -px 2919785.79396864 -5383744.94920112 1774604.87300143: IGS station ABMF from
// RTKLIB's igs20P2131_wocov.snx.
inline constexpr std::string_view kAbmf1005 = "d300133ed4d20306cc53f493b37709b6eb0421bf36daf7be1b";
inline constexpr std::string_view kAbmf1006 =
    "d300153ee4d20306cc53f493b37709b6eb0421bf36da000061fd80";
// kAbmf1006 with the antenna height set to 1.5432 m (15432 units) and the CRC recomputed, both
// in Python.
inline constexpr std::string_view kAbmf1006Height =
    "d300153ee4d20306cc53f493b37709b6eb0421bf36da3c486f04b2";
// -sta 2001 -msg '1033(1)' -a $'ANT\x1b[31m,SER\x07X,7' -i $'REC\tTYPE,FW\x7f1,SN\xc2\x9b2'
inline constexpr std::string_view kControls1033 =
    "d300274097d108414e541b5b33316d070553455207580852454309545950450446577f3105534ec29b32d6c823";

// The bytes that `hex` (pairs of lower-case hex digits) spells.
inline std::string Bytes(std::string_view hex) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    const auto digit = [](char c) { return c <= '9' ? c - '0' : c - 'a' + 10; };
    bytes.push_back(static_cast<char>(digit(hex[i]) * 16 + digit(hex[i + 1])));
  }
  return bytes;
}

// The payload of a frame.
inline std::string PayloadOf(std::string_view frame) {
  return std::string(frame.substr(3, frame.size() - 6));
}

// A payload that begins with `number` and `stationId` (12 bits each), followed by `rest`.
inline std::string Payload(unsigned number, unsigned stationId, std::string_view rest = "") {
  std::string payload;
  payload.push_back(static_cast<char>(number >> 4));
  payload.push_back(static_cast<char>(((number & 0x0F) << 4) | (stationId >> 8)));
  payload.push_back(static_cast<char>(stationId & 0xFF));
  return payload + std::string(rest);
}

}  // namespace quillon::testframes
