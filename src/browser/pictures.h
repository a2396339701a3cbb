#pragma once

#include <QIcon>
#include <QPixmap>

namespace velm {

// The tree's five 16 x 16 pictures, by their place in the image list.
enum TreeImage {
    kImageDrawerClosed = 0,     // collapsed category
    kImageDrawerOpen = 1,       // expanded category
    kImageUnused = 2,
    kImageComponentSelected = 3,
    kImageComponent = 4,
};
QIcon TreeImageIcon(int index);

// The 360 x 270 logo shown on the right while a category is selected.
QPixmap LogoPicture();

}  // namespace velm
