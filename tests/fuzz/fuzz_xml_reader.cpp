#include "config/xml_config_reader.h"
#include "tests/fuzz/fuzz_common.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  XmlConfigReader reader;
  if (!reader.LoadBytes(FuzzBytes(data, size))) return 0;
  int32_t found = 0;
  static const wchar_t* const kPaths[] = {L"a/", L"a/b/", L"LaunchData/", L"LaunchData/LaunchBase/ProductType/",
                                          L"", L"/", L"a/b/c/d/"};
  for (const wchar_t* key : kPaths) {
    reader.GetString(key, L"d", &found);
    reader.GetInt(key, 7, &found);
    reader.GetUInt(key, 7, &found);
    reader.GetAttribute(key, L"n", &found);
  }
  reader.PresentIndexes(L"a/", L"b", 2, 0xFFFFFFFFu);
  return 0;
}
