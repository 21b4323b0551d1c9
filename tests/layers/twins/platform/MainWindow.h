// The seam that the front end's file below must not share a name with.
#pragma once
