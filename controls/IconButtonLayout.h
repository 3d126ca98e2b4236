#pragma once

// Where an icon button draws its caption and icon. All divisions round toward
// zero, as integer division does.

struct IconButtonGeometry {
    int captionX = 0;
    int captionY = 0;
    int iconX = 0;
    int iconY = 0;
};

// Positions for a button of width x height with an icon of iconWidth x
// iconHeight (hasIcon false: no icon) and a caption measuring captionWidth x
// captionHeight (an empty caption when captionEmpty).
IconButtonGeometry layoutIconButton(int width, int height, bool hasIcon, int iconWidth,
                                    int iconHeight, bool captionEmpty, int captionWidth,
                                    int captionHeight, bool pressed);
