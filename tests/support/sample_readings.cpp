#include "support/sample_readings.h"

#include <map>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "support/process.h"

namespace corvane::testing {
namespace {

using nlohmann::json;

// The JSON files hold UTF-8; every character becomes one wide character.
std::wstring Wide(const std::string& utf8) {
  std::wstring text;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (int k = 1; k < length; ++k)
      c = (c << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
    text += static_cast<wchar_t>(c);
    i += static_cast<std::size_t>(length);
  }
  return text;
}

// The path the LinkInfo names, else the path of an item list that runs from
// My Computer through a drive to file entries.
std::optional<std::wstring> TargetOf(const json& reading) {
  if (reading.contains("link_info") && reading["link_info"].contains("local_base_path")) {
    const json& info = reading["link_info"];
    return Wide(info["local_base_path"].get<std::string>() +
                (info.contains("common_path_suffix") ? info["common_path_suffix"].get<std::string>()
                                                     : std::string()));
  }
  if (!reading.contains("target") || !reading["target"].contains("items")) return std::nullopt;
  const json& items = reading["target"]["items"];
  if (items.size() < 2 || !items[0].contains("sort_index") ||
      items[0]["sort_index"] != "My Computer" || !items[1].contains("volume_name")) {
    return std::nullopt;
  }
  std::wstring path = Wide(items[1]["volume_name"].get<std::string>());
  for (std::size_t i = 2; i < items.size(); ++i) {
    if (items[i]["class"] != "File entry") return std::nullopt;
    if (path.back() != L'\\') path += L'\\';
    path += Wide(items[i]["primary_name"].get<std::string>());
  }
  return path;
}

int ShowCommandOf(const std::string& name) {
  static const std::map<std::string, int> values = {
      {"SW_SHOWNORMAL", 1}, {"SW_SHOWMAXIMIZED", 3}, {"SW_SHOWMINNOACTIVE", 7}};
  return values.at(name);
}

}  // namespace

SampleReading ReadingOf(const std::string& sample) {
  const std::string path =
      std::string(CORVANE_SAMPLES_DIR) + "/" + sample.substr(0, sample.size() - 4) + ".json";
  const json reading = json::parse(ReadFileBytes(path), nullptr, false);
  if (reading.is_discarded()) throw std::runtime_error("no reading in " + path);
  SampleReading result;
  result.target = TargetOf(reading);
  const json& header = reading.at("header");
  result.iconIndex = header.at("icon_index").get<int>();
  result.showCommand = ShowCommandOf(header.at("windowstyle").get<std::string>());
  result.hotKey = header.at("r_hotkey").get<std::uint16_t>();
  if (!reading.contains("extra")) return result;
  for (const json& block : reading["extra"]) {
    if (!block.is_object() || !block.contains("property_store")) continue;
    for (const json& storage : block["property_store"]) {
      for (const json& value : storage["serialized_property_values"]) {
        SampleReading::Property property;
        property.formatId = storage["format_id"].get<std::string>();
        property.id = value["id"].get<std::uint32_t>();
        property.type = value["value_type"].get<std::string>();
        if (value["value"].is_string()) property.text = Wide(value["value"].get<std::string>());
        result.properties.push_back(property);
      }
    }
  }
  return result;
}

bool RefusedAsCorrupt(const std::string& sample) {
  // sample.lnk but for its last four bytes: 0x10 where the terminal block
  // (below 4) belongs, so a 16-byte extra data block runs past the end of
  // the file. The reading stops there; the format, and the link object,
  // refuse the file.
  return sample == "extra_data.lnk";
}

std::optional<std::wstring> TargetByWindowsRules(const std::string& sample) {
  static const std::map<std::string, std::optional<std::wstring>> differing = {
      // The reading names each item by its primary name, the 8.3 "PROGRA~1";
      // Windows takes the long name that the item's extension block keeps.
      {"broken_link_info.lnk", L"C:\\Program Files\\xt\\xt.exe"},
      // Advertised by Windows Installer: the item list that the reading
      // follows names only the icon that stands in for the product, and the
      // link has no path of its own.
      {"darwin_block.lnk", std::nullopt},
      {"darwin_block_modified.lnk", std::nullopt},
  };
  if (RefusedAsCorrupt(sample)) return std::nullopt;
  if (const auto found = differing.find(sample); found != differing.end()) return found->second;
  return ReadingOf(sample).target;
}

}  // namespace corvane::testing
