#pragma once

// The five kinds of view, in the order of the view actions and the range editors; an int
// (0..4) in the interfaces.
struct ViewType
{
    enum Value : int { Main = 0, Ref1 = 1, Ref2 = 2, Diff1 = 3, Diff2 = 4 };
};
