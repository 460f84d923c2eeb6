// placeholder until the implementation lands
#include "album/thumbnail_bar.h"
