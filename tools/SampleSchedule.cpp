#include "SampleSchedule.h"
