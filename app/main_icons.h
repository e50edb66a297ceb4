#pragma once
// The pictures of the main window's actions (the image list MainIconz): the desktop icon
// theme's icon where a standard name fits, otherwise one that the program draws.
#include <vector>

#include "platform/ansi.h"

class TImageList;

// Where a picture of the list came from.
enum TActionImageSource { aisTheme, aisDrawn };

// The number of pictures; the image indexes of the actions run from 0 to this minus 1.
int ActionImageCount();
// The image index of an action of the catalogue, -1 for an action shown without a picture.
int ActionImageIndex(const AnsiString& ActionName);
// The key of picture Index ("save", "bold", ...), for tests and diagnostics.
const char* ActionImageKey(int Index);
// Empties List and fills it with every picture at the list's size, in image-index order;
// returns where each picture came from.
std::vector<TActionImageSource> FillActionImages(TImageList* List);
// The same pictures, each made when it is first drawn: the main window shows a few of them at
// start (its tool bars), the rest only in menus.
void DeferActionImages(TImageList* List);
