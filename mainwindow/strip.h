#pragma once

// The promotional strip's five pictures, left to right: what each shows, the
// hint it writes into the hint line, and the site it opens in the system's
// browser (none for the custom links picture, which opens the board). The
// addresses are plain home pages, with no referral or affiliate parameter.
struct TStripPicture {
    const char *name;     // the image control's name
    int tag;              // what a click does: 0, 1, 2, 4 open a site, 5 the board
    const char *resource; // the picture, compiled in
    const char *hint;     // follows "[右击隐藏]  " in the hint line
    const char *address;  // nullptr for the custom links picture
};

inline constexpr int kStripPictureCount = 5;
extern const TStripPicture kStripPictures[kStripPictureCount];

// The search of the strip's search picture, to which searched words are
// appended: what the address box offers for words that are no address.
extern const char *const kStripSearchPrefix;

// Written before a picture's hint: a right click hides the strip.
extern const char *const kStripHintPrefix;
