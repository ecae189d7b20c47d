// The summary information stream: an OLE property set with one section
// (FMTID_SummaryInformation) of 2- and 4-byte integers, strings in the
// set's code page (property 1) and file times.
#include "hw/msi_database.h"
#include "hw/byte_order.h"

#include <wtypes.h>

#include "text.h"

#include <algorithm>
#include <cstring>

namespace hw::msi {
namespace {

constexpr uint8_t kFmtidSummary[16] = {0xE0, 0x85, 0x9F, 0xF2, 0xF9, 0x4F, 0x68, 0x10,
                                       0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9};
constexpr uint32_t kPidCodePage = 1;
constexpr size_t kMaxProperties = 1024;

void Put16(Bytes &out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(Bytes &out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
void Pad4(Bytes &out) {
  while (out.size() % 4) out.push_back(0);
}

uint32_t CodePageOf(const std::map<uint32_t, SummaryProperty> &properties) {
  auto it = properties.find(kPidCodePage);
  return it == properties.end() ? 0 : static_cast<uint16_t>(it->second.integer);
}

}  // namespace

uint16_t SummaryInfo::TypeOf(uint32_t pid) {
  switch (pid) {
    case 1:
      return VT_I2;
    case 2: case 3: case 4: case 5: case 6: case 7: case 8: case 9: case 18:
      return VT_LPSTR;
    case 10: case 11: case 12: case 13:
      return VT_FILETIME;
    case 14: case 15: case 16: case 19:
      return VT_I4;
    default:
      return 0;
  }
}

bool SummaryInfo::Parse(std::span<const uint8_t> s, SummaryInfo &out) {
  out.properties.clear();
  if (s.size() < 48 || Le16(s.data()) != 0xFFFE) return false;
  const uint32_t sets = Le32(s.data() + 24);
  if (sets == 0) return true;
  if (sets > 2 || s.size() < 28 + 20ull * sets) return false;
  const uint8_t *fmtid = s.data() + 28;
  if (memcmp(fmtid, kFmtidSummary, 16) != 0) return true;  // no summary section: nothing to read
  const uint64_t sectionOffset = Le32(s.data() + 44);
  if (sectionOffset + 8 > s.size()) return false;
  const uint8_t *section = s.data() + sectionOffset;
  const uint64_t sectionSize = std::min<uint64_t>(Le32(section), s.size() - sectionOffset);
  const uint32_t count = Le32(section + 4);
  if (count > kMaxProperties || 8 + 8ull * count > sectionSize) return false;
  struct Raw {
    uint32_t pid;
    uint32_t offset;
  };
  std::vector<Raw> raws;
  for (uint32_t i = 0; i < count; ++i) raws.push_back({Le32(section + 8 + 8 * i), Le32(section + 12 + 8 * i)});
  // The code page comes first so that strings can be decoded whatever their order.
  std::stable_partition(raws.begin(), raws.end(), [](const Raw &r) { return r.pid == kPidCodePage; });
  for (const Raw &raw : raws) {
    if (raw.offset + 4ull > sectionSize) return false;
    const uint8_t *value = section + raw.offset;
    const uint64_t room = sectionSize - raw.offset - 4;
    SummaryProperty property;
    property.type = static_cast<uint16_t>(Le16(value));
    switch (property.type) {
      case VT_I2:
        if (room < 2) return false;
        property.integer = static_cast<int16_t>(Le16(value + 4));
        break;
      case VT_I4:
        if (room < 4) return false;
        property.integer = static_cast<int32_t>(Le32(value + 4));
        break;
      case VT_FILETIME:
        if (room < 8) return false;
        property.time = Le32(value + 4) | (static_cast<uint64_t>(Le32(value + 8)) << 32);
        break;
      case VT_LPSTR: {
        if (room < 4) return false;
        uint64_t length = Le32(value + 4);
        if (length > room - 4) return false;
        std::string_view bytes(reinterpret_cast<const char *>(value + 8), length);
        if (const size_t nul = bytes.find('\0'); nul != std::string_view::npos) bytes = bytes.substr(0, nul);
        if (!DecodeText(CodePageOf(out.properties), bytes, property.text)) return false;
        break;
      }
      default:
        continue;  // types the installer does not use are left out
    }
    if (raw.pid != 0) out.properties[raw.pid] = std::move(property);
  }
  return true;
}

bool SummaryInfo::Serialize(Bytes &out) const {
  Bytes body;
  std::vector<std::pair<uint32_t, uint32_t>> offsets;
  const uint32_t codePage = CodePageOf(properties);
  const size_t headerSize = 8 + 8 * properties.size();
  for (const auto &[pid, property] : properties) {
    offsets.emplace_back(pid, static_cast<uint32_t>(headerSize + body.size()));
    Put32(body, property.type);
    switch (property.type) {
      case VT_I2:
        Put16(body, static_cast<uint16_t>(property.integer));
        break;
      case VT_I4:
        Put32(body, static_cast<uint32_t>(property.integer));
        break;
      case VT_FILETIME:
        Put32(body, static_cast<uint32_t>(property.time));
        Put32(body, static_cast<uint32_t>(property.time >> 32));
        break;
      default: {
        std::string bytes;
        if (!EncodeText(codePage, property.text, bytes)) return false;
        Put32(body, static_cast<uint32_t>(bytes.size() + 1));
        body.insert(body.end(), bytes.begin(), bytes.end());
        body.push_back(0);
      }
    }
    Pad4(body);
  }
  out.clear();
  Put16(out, 0xFFFE);
  Put16(out, 0);
  Put32(out, 0x00020006);  // written on Windows NT 6
  out.insert(out.end(), 16, 0);
  Put32(out, 1);
  out.insert(out.end(), kFmtidSummary, kFmtidSummary + 16);
  Put32(out, 48);
  Put32(out, static_cast<uint32_t>(headerSize + body.size()));
  Put32(out, static_cast<uint32_t>(properties.size()));
  for (const auto &[pid, offset] : offsets) {
    Put32(out, pid);
    Put32(out, offset);
  }
  out.insert(out.end(), body.begin(), body.end());
  return true;
}

}  // namespace hw::msi
