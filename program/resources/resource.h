#pragma once
// Resource ids of the program.
