// Stands for the window's header in the upward-include fixture.
#pragma once
