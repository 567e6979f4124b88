#include "app/photo_state.h"

OpenPhoto MainPhoto;
