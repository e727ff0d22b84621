#pragma once

// What saving the applications page has to do, from the key's current application mask and the
// wanted one: `state` is the OR of one code per application group (4 unchanged, 1 switched off,
// 2 changed in place, 3 needs a transport first), `transports` the transport mask that carries
// the wanted applications.
struct ApplicationSwitch
{
    int state = 0;
    int transports = 0;

    static ApplicationSwitch plan(int current, int wanted);
};
