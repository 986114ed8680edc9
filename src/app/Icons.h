// The pictures of the main window, drawn at start instead of shipped as files.
// menuImages() is the menu bar's image list (index = image number of the
// language menu and the commands); statusImages() the list's icon strip
// imglIcons (0 green tick, 1 red cross); buttonPicture() the large pictures of
// the button bar.
#pragma once

#include <QIcon>
#include <QPixmap>
#include <vector>

namespace vornak::app {

enum MenuImage {
    kImageExit = 0,
    kImageDelete = 1,
    kImageWebSite = 2,
    kImageUninstall = 3,
    kImageUpdateCheck = 4,
    kImageRefresh = 5,
    kImageHelp = 6,
    kImageAdware = 7,
    kImageDanishFlag = 8,
    kImageDeadEntry = 9,
    kImageGridLines = 10,
    kMenuImageCount = 11,
};

enum ButtonPicture { kPictureUninstall, kPictureDelete, kPictureAnalyze, kPictureHelp };

// 16 x 16 images, index as MenuImage.
const std::vector<QIcon>& menuImages();
// 16 x 16 images: 0 ordinary entry, 1 dead entry.
const std::vector<QIcon>& statusImages();
QPixmap buttonPicture(ButtonPicture picture, int size = 32);
// One menu image drawn at `size` pixels.
QPixmap drawMenuImage(int index, int size = 16);

}  // namespace vornak::app
