#pragma once
#include <cstdint>

// The four editions; the values are those of ProductType in the settings
// and in the download configuration.
enum class ProductEdition : int32_t {
  TTS = 1,
  TVG = 2,
  TNS = 5,
  TTSP = 6,
};

struct Edition {
  ProductEdition edition;
  const wchar_t* shortCode;    // "TTS", as the version file and the local install folders name it
  const wchar_t* productName;  // the name the installed product writes to the registry
};

// The one table of editions, in the order the other-edition check walks them.
extern const Edition kEditions[4];

// The edition a ProductType names; null for any other value.
const Edition* EditionOf(int32_t productType);
inline const Edition* EditionOf(ProductEdition edition) { return EditionOf(static_cast<int32_t>(edition)); }
