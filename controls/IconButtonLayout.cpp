#include "controls/IconButtonLayout.h"

IconButtonGeometry layoutIconButton(int width, int height, bool hasIcon, int iconWidth,
                                    int iconHeight, bool captionEmpty, int captionWidth,
                                    int captionHeight, bool pressed)
{
    IconButtonGeometry g;
    if (!captionEmpty) {
        g.captionY = height / 2 - captionHeight / 2;
        if (hasIcon) {
            g.captionX = (width - iconWidth) / 2 - captionWidth / 2 + iconWidth;
            g.iconX = 6;
            g.iconY = (height - iconHeight + 1) / 2;
        } else {
            g.captionX = width / 2 - captionWidth / 2;
        }
    } else {
        g.iconX = (width - iconWidth) / 2;
        g.iconY = (height - iconHeight) / 2;
    }
    if (pressed) {
        ++g.captionX;
        ++g.captionY;
        ++g.iconX;
        ++g.iconY;
    }
    return g;
}
