#include "Engine/Objects/IPointList.h"

const XGuid IPointListGuid(0x204ECAB7, 0x032B, 0x407B, 0xD486BC7A, 0xB24F2EE0);
