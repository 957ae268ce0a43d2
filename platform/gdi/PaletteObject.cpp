#include "platform/gdi/PaletteObject.h"

namespace tlgdi {

std::vector<PALETTEENTRY> PaletteObject::HalftoneEntries()
{
  std::vector<PALETTEENTRY> theEntries;
  theEntries.reserve(256);
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b)
        theEntries.push_back(PALETTEENTRY{static_cast<BYTE>(51 * r), static_cast<BYTE>(51 * g),
                                          static_cast<BYTE>(51 * b), 0});
  for (int i = 0; i < 40; ++i) {
    const auto theGrey = static_cast<BYTE>((255 * (i + 1) + 20) / 41);
    theEntries.push_back(PALETTEENTRY{theGrey, theGrey, theGrey, 0});
  }
  return theEntries;
}

std::vector<PALETTEENTRY> PaletteObject::DefaultEntries()
{
  return {
    {0, 0, 0, 0},       {128, 0, 0, 0},   {0, 128, 0, 0},   {128, 128, 0, 0},
    {0, 0, 128, 0},     {128, 0, 128, 0}, {0, 128, 128, 0}, {192, 192, 192, 0},
    {128, 128, 128, 0}, {255, 0, 0, 0},   {0, 255, 0, 0},   {255, 255, 0, 0},
    {0, 0, 255, 0},     {255, 0, 255, 0}, {0, 255, 255, 0}, {255, 255, 255, 0},
  };
}

}  // namespace tlgdi
