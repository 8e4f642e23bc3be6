// kept out
export function joined(x) {
    // kept out too
    return x; 
}
