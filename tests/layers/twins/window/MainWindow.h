// A front-end file named like a seam: the check must refuse the pair.
#pragma once
