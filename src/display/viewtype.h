#pragma once

// The five kinds of view, in the order of the view actions and the range editors.
enum ViewType : int { Main = 0, Ref1 = 1, Ref2 = 2, Diff1 = 3, Diff2 = 4 };
