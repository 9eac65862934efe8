#include "base/editions.h"

const Edition kEditions[4] = {
    {ProductEdition::TTS, L"TTS", L"TAVO Total Shield"},
    {ProductEdition::TVG, L"TVG", L"TAVO Virus Guard"},
    {ProductEdition::TNS, L"TNS", L"TAVO Net Shield"},
    {ProductEdition::TTSP, L"TTSP", L"TAVO Total Shield Plus"},
};

const Edition* EditionOf(int32_t productType) {
  for (const Edition& edition : kEditions) {
    if (static_cast<int32_t>(edition.edition) == productType) return &edition;
  }
  return nullptr;
}
