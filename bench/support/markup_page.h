// Pages of markup shaped like the signature site's: mostly two-byte characters, with a
// signature between the page's two markers about every 200 bytes.
#pragma once

#include <cstdint>
#include <random>
#include <string>

namespace tarnwick::bench {

inline const char kLeftMarker[] = "style=\"TEXT-ALIGN: center\">";
inline const char kRightMarker[] = "</P>";

class PageWriter {
 public:
  explicit PageWriter(uint32_t seed) : engine_(seed) {}

  // Two-byte characters, some with an ASCII letter or '<' as their second byte, and a few
  // one-byte letters and spaces.
  void prose(std::string& out, size_t bytes) {
    const size_t end = out.size() + bytes;
    while (out.size() < end) {
      const unsigned kind = pick(20);
      if (kind == 0) {
        out += static_cast<char>('a' + pick(26));
      } else if (kind == 1) {
        out += ' ';
      } else {
        out += static_cast<char>(0xB0 + pick(0x48));
        out += static_cast<char>(kind == 2 ? "sS<>tT"[pick(6)] : 0xA1 + pick(0x5E));
      }
    }
  }

  std::string page(size_t bytes, bool with_markers) {
    std::string out = "<HTML><HEAD><TITLE>";
    prose(out, 40);
    out += "</TITLE></HEAD><BODY>\r\n";
    while (out.size() < bytes) {
      out += with_markers ? "<P " : "<DIV ";
      out += with_markers ? kLeftMarker : "style=\"TEXT-ALIGN: left\">";
      out += pick(4) == 0 ? "<STRONG>" : " ";
      prose(out, 60 + pick(60));
      if (pick(3) == 0) out += "<BR>";
      out += with_markers ? kRightMarker : "</DIV>";
      out += "\r\n<SPAN class=\"time\">";
      prose(out, 40 + pick(40));
      out += "</SPAN>\r\n";
    }
    out.resize(bytes);
    return out;
  }

 private:
  unsigned pick(unsigned bound) {
    return std::uniform_int_distribution<unsigned>(0, bound - 1)(engine_);
  }

  std::mt19937 engine_;
};

}  // namespace tarnwick::bench
