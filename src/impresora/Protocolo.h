#pragma once

// Control bytes of the printer's framed protocol.
namespace Protocolo
{
inline constexpr char STX = 0x02; // starts a frame
inline constexpr char ETX = 0x03; // ends the framed part; 4 checksum digits follow
inline constexpr char DC2 = 0x12; // the printer is still busy: extends the wait
inline constexpr char FS = 0x1C;  // field separator
inline constexpr char DEL = 0x7F; // fills a field a document leaves empty
} // namespace Protocolo
