// placeholder until the implementation lands
#include "view/picture_view.h"
