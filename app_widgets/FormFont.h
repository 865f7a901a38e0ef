#pragma once

namespace zorv {

// The forms are laid out for the Japanese Windows desktop font "MS UI Gothic"
// at 9 points. Elsewhere a Japanese Gothic of the desktop stands in for it,
// so that the labels fit the boxes the forms give them.
class FormFont
{
public:
    // Call once the application object exists.
    static void install();
};

} // namespace zorv
