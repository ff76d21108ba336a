in float vz;out vec4 o;
void main(){vec2 c=2.*gl_PointCoord-1.;float r=dot(c,c);if(r>1.)discard;o=vec4(vz-.11*sqrt(1.-r));}
